#include "audio_file.h"

#include "text_match.h"
#include "tool_error.h"

namespace {

ToolError audioError(const std::string& what, SNDFILE* file) {
  return ToolError(ExitStatus::Failure, what + ": " + sf_strerror(file));
}

// libsndfile's table of containers, looked up by file extension.
int containerNamedBy(const std::filesystem::path& path) {
  const std::string extension = lowerCase(path.extension().string());
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
  for (int index = 0; index < count; ++index) {
    SF_FORMAT_INFO info{};
    info.format = index;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info);
    if (info.extension != nullptr && extension == std::string(".") + info.extension)
      return info.format;
  }
  return 0;
}

int subtypeOf(SampleFormat format, int inputFormat) {
  switch (format) {
    case SampleFormat::Float32:
      return SF_FORMAT_FLOAT;
    case SampleFormat::Pcm16:
      return SF_FORMAT_PCM_16;
    case SampleFormat::Pcm24:
      return SF_FORMAT_PCM_24;
    case SampleFormat::AsInput:
      break;
  }
  return inputFormat & SF_FORMAT_SUBMASK;
}

}  // namespace

AudioReader::AudioReader(const std::filesystem::path& path) : file_(nullptr, sf_close) {
  file_.reset(sf_open(path.c_str(), SFM_READ, &info_));
  if (!file_) throw audioError("cannot read audio file " + path.string(), nullptr);
}

sf_count_t AudioReader::read(float* frames, sf_count_t count) {
  return sf_readf_float(file_.get(), frames, count);
}

sf_count_t AudioReader::read(double* frames, sf_count_t count) {
  return sf_readf_double(file_.get(), frames, count);
}

AudioWriter::AudioWriter(int descriptor, const SF_INFO& info) : file_(nullptr, sf_close) {
  SF_INFO format = info;
  file_.reset(sf_open_fd(descriptor, SFM_WRITE, &format, SF_FALSE));
  if (!file_) throw audioError("cannot write the output file", nullptr);
  sf_command(file_.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

template <typename Sample>
void AudioWriter::writeFrames(const Sample* frames, sf_count_t count,
                              sf_count_t (*writer)(SNDFILE*, const Sample*, sf_count_t)) {
  if (writer(file_.get(), frames, count) != count)
    throw audioError("cannot write the output file", file_.get());
}

void AudioWriter::write(const float* frames, sf_count_t count) {
  writeFrames(frames, count, sf_writef_float);
}

void AudioWriter::write(const double* frames, sf_count_t count) {
  writeFrames(frames, count, sf_writef_double);
}

void AudioWriter::close() {
  SNDFILE* file = file_.release();
  if (sf_close(file) != 0) throw audioError("cannot complete the output file", nullptr);
}

int outputFormat(const SF_INFO& input, const std::filesystem::path& output, SampleFormat format) {
  const int named = containerNamedBy(output);
  const int container = named != 0 ? named : input.format & SF_FORMAT_TYPEMASK;
  SF_INFO info{};
  info.format = container | subtypeOf(format, input.format);
  info.channels = 1;
  info.samplerate = input.samplerate;
  if (!sf_format_check(&info)) {
    throw ToolError(ExitStatus::Failure,
                    "a " + output.extension().string() + " file cannot hold the sample format " +
                        sampleFormatName(info.format) + "; choose one with --format");
  }
  return info.format;
}

bool clipsAtFullScale(int format) {
  const int subtype = format & SF_FORMAT_SUBMASK;
  return subtype != SF_FORMAT_FLOAT && subtype != SF_FORMAT_DOUBLE;
}

std::string sampleFormatName(int format) {
  SF_FORMAT_INFO info{};
  info.format = format & SF_FORMAT_SUBMASK;
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || info.name == nullptr)
    return "number " + std::to_string(info.format);
  return info.name;
}
