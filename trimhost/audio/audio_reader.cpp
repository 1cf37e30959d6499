#include "trimhost/audio/audio_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "trimhost/cli/tool_error.h"

namespace {

// Sizes that writers put in a header when they do not know the length yet.
constexpr std::int64_t kUnknownSizes[] = {0, 0x7FFFFFFF, 0xFFFFFFFF};
// A whole-file size that is off by a few bytes is a common writer's slip
// about padding, not missing audio.
constexpr std::int64_t kFileSizeSlack = 16;

// The headers whose size is the whole file's.
constexpr const char* kContainerChunks[] = {"riff", "rifx", "rf64", "form"};

struct SizeClaim {
  bool ofAudio;          // the audio chunk's own size, rather than the whole file's
  std::int64_t missing;  // how many more bytes the header claims than there are
};

// libsndfile notes each size in a header that the file does not hold as
// "NAME : CLAIMED (should be ACTUAL)". It notes other fields that way too,
// such as a WAV's bytes per second, which says nothing of the file's length:
// only the sizes of the audio chunk and of the whole file count.
bool readClaim(const std::string& line, SizeClaim& claim) {
  const auto colon = line.find(':');
  const auto should = line.find("(should be ");
  if (colon == std::string::npos || should == std::string::npos || should < colon) return false;
  const std::int64_t claimed = std::strtoll(line.c_str() + colon + 1, nullptr, 10);
  const std::int64_t actual = std::strtoll(line.c_str() + should + 11, nullptr, 10);
  if (std::find(std::begin(kUnknownSizes), std::end(kUnknownSizes), claimed) !=
      std::end(kUnknownSizes))
    return false;
  std::string name = line.substr(0, colon);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  name.erase(0, name.find_first_not_of(" \t"));
  name.erase(name.find_last_not_of(" \t") + 1);
  const bool ofAudio = name.find("data") != std::string::npos || name == "ssnd";
  if (!ofAudio && std::find(std::begin(kContainerChunks), std::end(kContainerChunks), name) ==
                      std::end(kContainerChunks))
    return false;
  claim = {ofAudio, claimed - actual};
  return true;
}

// The bytes of audio the header claims beyond the end of the file: by the
// audio chunk's size where the log gives it, else by the whole file's.
std::int64_t missingAudioBytes(SNDFILE* file) {
  std::string log(16384, '\0');
  sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
  std::istringstream lines(log.c_str());
  std::int64_t ofAudio = 0;
  std::int64_t ofFile = 0;
  bool audioClaimed = false;
  for (std::string line; std::getline(lines, line);) {
    SizeClaim claim{};
    if (!readClaim(line, claim)) continue;
    if (claim.ofAudio) {
      audioClaimed = true;
      ofAudio = std::max(ofAudio, claim.missing);
    } else {
      ofFile = std::max(ofFile, claim.missing);
    }
  }
  if (audioClaimed) return ofAudio;
  return ofFile > kFileSizeSlack ? ofFile : 0;
}

int frameBytes(const SF_INFO& info) {
  switch (info.format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return info.channels;
    case SF_FORMAT_PCM_16:
      return 2 * info.channels;
    case SF_FORMAT_PCM_24:
      return 3 * info.channels;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
      return 4 * info.channels;
    case SF_FORMAT_DOUBLE:
      return 8 * info.channels;
    default:
      return 0;
  }
}

std::int64_t promisedFrames(SNDFILE* file, const SF_INFO& info) {
  if (info.frames <= 0 || info.frames == SF_COUNT_MAX) return -1;
  const std::int64_t missing = missingAudioBytes(file);
  const int bytes = frameBytes(info);
  if (missing <= 0 || bytes == 0) return info.frames;
  return info.frames + (missing + bytes - 1) / bytes;
}

// libsndfile's texts read "Error : what went wrong."
std::string reasonOf(std::string text) {
  const std::string prefix = "Error : ";
  if (text.rfind(prefix, 0) == 0) text.erase(0, prefix.size());
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

// A folder or a device (/dev/zero never ends) holds no audio file; libsndfile
// would call it a format it does not recognise. Pipes may carry a stream, and
// are read.
void refuseNonAudioKinds(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return;
  const char* kind = S_ISDIR(status.st_mode)   ? "a folder"
                     : S_ISBLK(status.st_mode) ? "a block device"
                     : S_ISCHR(status.st_mode) ? "a character device"
                                               : nullptr;
  if (kind != nullptr)
    throw ToolError(ExitStatus::Failure,
                    "cannot read audio file " + path + ": it is " + kind + ", not a file");
}

// An Ogg stream marks its last page as its end (the header type's bit 2). A
// file cut short has no such page, or has it only in part, and no header that
// gives its length, so its last page is the only sign. Only regular files are
// looked at: a pipe cannot be read from its end.
constexpr std::size_t kPageHeader = 27;  // up to the segment count, which is its last byte
constexpr std::size_t kOggTail = kPageHeader + 255 + 255 * 255;  // one page at most
constexpr unsigned char kEndOfStream = 0x04;

// The size of the page that starts at `page`, or 0 when its header is cut.
std::size_t pageSize(const std::string& bytes, std::size_t page) {
  if (page + kPageHeader > bytes.size()) return 0;
  const auto segments = static_cast<unsigned char>(bytes[page + kPageHeader - 1]);
  if (page + kPageHeader + segments > bytes.size()) return 0;
  std::size_t size = kPageHeader + segments;
  for (std::size_t i = 0; i < segments; ++i)
    size += static_cast<unsigned char>(bytes[page + kPageHeader + i]);
  return size;
}

bool oggStreamCut(const std::string& path, const SF_INFO& info) {
  struct stat status {};
  if ((info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_OGG || ::stat(path.c_str(), &status) != 0 ||
      !S_ISREG(status.st_mode))
    return false;
  std::ifstream file(path, std::ios::binary);
  const auto size = static_cast<std::size_t>(status.st_size);
  const std::size_t tail = std::min(size, kOggTail);
  std::string bytes(tail, '\0');
  file.seekg(static_cast<std::streamoff>(size - tail));
  file.read(bytes.data(), static_cast<std::streamsize>(tail));
  const std::size_t page = bytes.rfind("OggS");
  if (page == std::string::npos) return true;
  const std::size_t length = pageSize(bytes, page);
  return length == 0 || page + length > bytes.size() ||
         (static_cast<unsigned char>(bytes[page + 5]) & kEndOfStream) == 0;
}

// libsndfile's words for a header it cannot use, in the user's terms.
std::string openFailure(std::string reason) {
  if (reason.find("SF_INFO struct incomplete") != std::string::npos ||
      reason.find("invalid sample rate") != std::string::npos)
    return "its header gives no usable sample rate or channel count";
  return reason;
}

}  // namespace

AudioReader::AudioReader(const std::string& path) : path_(path), file_(nullptr, sf_close) {
  refuseNonAudioKinds(path);
  file_.reset(sf_open(path.c_str(), SFM_READ, &info_));
  if (!file_) {
    throw ToolError(ExitStatus::Failure,
                    "cannot read audio file " + path + ": " + openFailure(sf_strerror(nullptr)));
  }
  expected_ = promisedFrames(file_.get(), info_);
  streamCut_ = oggStreamCut(path, info_);
}

template <typename Sample>
sf_count_t AudioReader::readFrames(Sample* frames, sf_count_t count,
                                   sf_count_t (*reader)(SNDFILE*, Sample*, sf_count_t)) {
  const sf_count_t got = std::max<sf_count_t>(0, reader(file_.get(), frames, count));
  read_ += got;
  if (sf_error(file_.get()) != SF_ERR_NO_ERROR) fail(sf_strerror(file_.get()));
  if (got < count && expected_ >= 0 && read_ < expected_) fail("the file ends early");
  if (got < count && streamCut_) fail("the file ends early: its Ogg stream stops before its end");
  return got;
}

sf_count_t AudioReader::read(float* frames, sf_count_t count) {
  return readFrames(frames, count, sf_readf_float);
}

sf_count_t AudioReader::read(double* frames, sf_count_t count) {
  return readFrames(frames, count, sf_readf_double);
}

void AudioReader::fail(const std::string& why) const {
  const std::string expected = expected_ >= 0 ? std::to_string(expected_) : "an unknown number of";
  throw ToolError(ExitStatus::Failure, "cannot read " + path_ + ": " + reasonOf(why) + " (read " +
                                           std::to_string(read_) + " of " + expected + " frames)");
}
