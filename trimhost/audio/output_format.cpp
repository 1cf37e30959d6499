#include "trimhost/audio/output_format.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "trimhost/cli/tool_error.h"
#include "trimhost/settings/text_match.h"

namespace {

struct SampleFormatName {
  const char* name;
  int subtype;
};

constexpr SampleFormatName kSampleFormats[] = {
    {"pcm16", SF_FORMAT_PCM_16},  {"pcm24", SF_FORMAT_PCM_24},      {"pcm32", SF_FORMAT_PCM_32},
    {"float32", SF_FORMAT_FLOAT}, {"float64", SF_FORMAT_DOUBLE},    {"vorbis", SF_FORMAT_VORBIS},
    {"opus", SF_FORMAT_OPUS},     {"mp3", SF_FORMAT_MPEG_LAYER_III}};

// Names for containers beside the extensions libsndfile gives, with the
// sample format that the name implies when the input's does not fit.
struct ContainerAlias {
  const char* name;
  int container;
  int impliedSubtype;
};

constexpr ContainerAlias kAliases[] = {{"aif", SF_FORMAT_AIFF, 0},
                                       {"aifc", SF_FORMAT_AIFF, 0},
                                       {"snd", SF_FORMAT_AU, 0},
                                       {"ogg", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
                                       {"oga", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
                                       {"opus", SF_FORMAT_OGG, SF_FORMAT_OPUS},
                                       {"mp3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III}};

// Containers whose sizes are 64-bit, or that have none to outgrow.
constexpr int kUnlimitedContainers[] = {SF_FORMAT_RF64, SF_FORMAT_W64, SF_FORMAT_CAF,
                                        SF_FORMAT_FLAC, SF_FORMAT_OGG, SF_FORMAT_MPEG,
                                        SF_FORMAT_RAW,  SF_FORMAT_WAV};
constexpr std::int64_t kSizeLimit = std::int64_t{1} << 32;

struct Container {
  std::string name;
  int format;
  int impliedSubtype;
};

bool holds(int container, int subtype, int channels, int sampleRate) {
  SF_INFO info{};
  info.format = writtenFormat(container | subtype);
  info.channels = channels;
  info.samplerate = sampleRate;
  return sf_format_check(&info) != 0;
}

bool writable(int container) {
  return std::any_of(std::begin(kSampleFormats), std::end(kSampleFormats),
                     [container](const SampleFormatName& format) {
                       return holds(container, format.subtype, 1, 48000);
                     });
}

// Every container this machine's libsndfile writes, by its extensions first
// and then by the aliases; of containers that share an extension,
// libsndfile's first.
const std::vector<Container>& containers() {
  static const std::vector<Container> all = [] {
    std::vector<Container> list;
    const auto add = [&list](const std::string& name, int format, int implied) {
      const bool known = std::any_of(list.begin(), list.end(),
                                     [&name](const Container& c) { return c.name == name; });
      if (!known && writable(format)) list.push_back({name, format, implied});
    };
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int index = 0; index < count; ++index) {
      SF_FORMAT_INFO info{};
      info.format = index;
      sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info);
      if (info.extension != nullptr) add(info.extension, info.format, 0);
    }
    for (const ContainerAlias& alias : kAliases)
      add(alias.name, alias.container, alias.impliedSubtype);
    return list;
  }();
  return all;
}

std::string containerNames() {
  std::vector<std::string> sorted;
  for (const Container& container : containers()) sorted.push_back(container.name);
  std::sort(sorted.begin(), sorted.end());
  std::string names;
  for (const std::string& name : sorted) names += (names.empty() ? "" : ", ") + name;
  return names;
}

const Container* containerNamed(const std::string& name) {
  const std::string wanted = lowerCase(name);
  for (const Container& container : containers())
    if (container.name == wanted) return &container;
  return nullptr;
}

// WAVEX files are read as what they are: WAV files with a channel mask,
// which WAV outputs carry too.
const Container* containerOf(int format) {
  const int major = format & SF_FORMAT_TYPEMASK;
  const int wanted = major == SF_FORMAT_WAVEX ? SF_FORMAT_WAV : major;
  for (const Container& container : containers())
    if (container.format == wanted) return &container;
  return nullptr;
}

// An output without an extension ("-", a device) takes the input's container.
const Container& requestedContainer(const SF_INFO& input, const std::string& output,
                                    const FormatRequest& request) {
  const std::string extension = std::filesystem::path(output).extension().string();
  const std::string name = !request.container.empty() ? request.container
                           : extension.empty()        ? ""
                                                      : extension.substr(1);
  const Container* container = name.empty() ? containerOf(input.format) : containerNamed(name);
  if (container != nullptr) return *container;
  const std::string asked = !request.container.empty() ? "--container " + request.container
                            : name.empty()             ? "the input's container"
                                                       : "the extension ." + name + " of " + output;
  throw ToolError(ExitStatus::Usage, "cannot write " + asked +
                                         ": no container of that name can be written here; "
                                         "choose one of " +
                                         containerNames());
}

int subtypeNamed(const std::string& name) {
  const std::string wanted = lowerCase(name);
  for (const SampleFormatName& format : kSampleFormats)
    if (wanted == format.name) return format.subtype;
  return 0;
}

std::string namesHeldBy(int container, int channels, int sampleRate) {
  std::string names;
  for (const SampleFormatName& format : kSampleFormats)
    if (holds(container, format.subtype, channels, sampleRate))
      names += (names.empty() ? "" : ", ") + std::string(format.name);
  return names;
}

int bytesPerSample(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return 1;
    case SF_FORMAT_PCM_16:
      return 2;
    case SF_FORMAT_PCM_24:
      return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
      return 4;
    case SF_FORMAT_DOUBLE:
      return 8;
    default:
      return 0;
  }
}

// libsndfile starts FLAC on a pipe, but what it writes there does not
// decode to its end: the stream info is completed at the end too.
bool canOpenOnPipe(int format, const SF_INFO& output) {
  if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC) return false;
  int ends[2];
  if (::pipe(ends) != 0) return false;
  SF_INFO info = output;
  info.format = writtenFormat(format);
  SNDFILE* file = sf_open_fd(ends[1], SFM_WRITE, &info, SF_TRUE);
  if (file != nullptr)
    sf_close(file);
  else
    ::close(ends[1]);
  ::close(ends[0]);
  return file != nullptr;
}

bool isLossy(int subtype) {
  return subtype == SF_FORMAT_VORBIS || subtype == SF_FORMAT_OPUS ||
         subtype == SF_FORMAT_MPEG_LAYER_I || subtype == SF_FORMAT_MPEG_LAYER_II ||
         subtype == SF_FORMAT_MPEG_LAYER_III;
}

// A decoded Vorbis, Opus or MP3 input goes into a container of samples as
// floats where it holds them, else as 24 or 16 bits; the choice is said.
int sampleFormatForDecoded(const Container& container, const SF_INFO& input) {
  for (const int subtype : {SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16}) {
    if (!holds(container.format, subtype, input.channels, input.samplerate)) continue;
    std::fprintf(stderr, "trimhost: format: %s, as a .%s file cannot hold the input's %s\n",
                 sampleFormatName(subtype).c_str(), container.name.c_str(),
                 sampleFormatName(input.format).c_str());
    return subtype;
  }
  return input.format & SF_FORMAT_SUBMASK;
}

}  // namespace

int chooseOutputFormat(const SF_INFO& input, const std::string& output,
                       const FormatRequest& request) {
  const Container& container = requestedContainer(input, output, request);
  if (!request.sampleFormat.empty()) checkSampleFormatName(request.sampleFormat);
  const int inputSubtype = input.format & SF_FORMAT_SUBMASK;
  int subtype = request.sampleFormat.empty() ? inputSubtype : subtypeNamed(request.sampleFormat);
  if (request.sampleFormat.empty() && container.impliedSubtype != 0 &&
      !holds(container.format, subtype, input.channels, input.samplerate))
    subtype = container.impliedSubtype;
  if (request.sampleFormat.empty() && isLossy(subtype) &&
      !holds(container.format, subtype, input.channels, input.samplerate))
    subtype = sampleFormatForDecoded(container, input);
  if (holds(container.format, subtype, input.channels, input.samplerate))
    return container.format | subtype;
  const std::string choices = namesHeldBy(container.format, input.channels, input.samplerate);
  if (choices.empty()) {
    throw ToolError(ExitStatus::Failure, "a ." + container.name + " file cannot hold " +
                                             std::to_string(input.channels) + " channel(s) at " +
                                             std::to_string(input.samplerate) + " Hz");
  }
  throw ToolError(ExitStatus::Failure,
                  "a ." + container.name + " file cannot hold the sample format " +
                      sampleFormatName(subtype) + "; choose one with --format: " + choices);
}

SF_INFO planOutput(const SF_INFO& source, int channels, std::int64_t frames,
                   const FormatRequest& request, OutputFile& output) {
  SF_INFO info{};
  info.samplerate = source.samplerate;
  info.channels = channels;
  SF_INFO shaped = source;
  shaped.channels = channels;
  info.format = chooseOutputFormat(shaped, output.name(), request);
  checkStreamable(info.format, info, output.name(), output.seekable());
  if (frames >= 0) checkSizeLimit(info.format, frames, channels, output.name());
  return info;
}

bool holdsFloat(const SF_INFO& output) {
  return holds(output.format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLOAT, output.channels,
               output.samplerate);
}

void checkSampleFormatName(const std::string& name) {
  if (subtypeNamed(name) == 0)
    throw ToolError(
        ExitStatus::Usage,
        "--format " + name + ": not a sample format; choose one of " + sampleFormatNames());
}

std::string sampleFormatNames() {
  std::string names;
  for (const SampleFormatName& format : kSampleFormats)
    names += (names.empty() ? "" : ", ") + std::string(format.name);
  return names;
}

int writtenFormat(int format) {
  const int container = format & SF_FORMAT_TYPEMASK;
  return container == SF_FORMAT_WAV ? SF_FORMAT_RF64 | (format & SF_FORMAT_SUBMASK) : format;
}

void checkStreamable(int format, const SF_INFO& output, const std::string& name, bool seekable) {
  if (seekable || canOpenOnPipe(format, output)) return;
  std::string streamable;
  for (const Container& container : containers()) {
    const int subtype = format & SF_FORMAT_SUBMASK;
    if (holds(container.format, subtype, output.channels, output.samplerate) &&
        canOpenOnPipe(container.format | subtype, output))
      streamable += (streamable.empty() ? "" : ", ") + container.name;
  }
  const Container* container = containerOf(format);
  throw ToolError(ExitStatus::Failure,
                  "cannot write a ." + (container ? container->name : std::string("?")) +
                      " file to " + name +
                      ": it is no file one can seek in, and the container's header is completed "
                      "at the end; choose a container that streams with --container: " +
                      (streamable.empty() ? "(none for this sample format)" : streamable));
}

void checkSizeLimit(int format, std::int64_t frames, int channels, const std::string& name) {
  const int container = format & SF_FORMAT_TYPEMASK;
  if (std::find(std::begin(kUnlimitedContainers), std::end(kUnlimitedContainers), container) !=
      std::end(kUnlimitedContainers))
    return;
  const std::int64_t bytes = frames * channels * bytesPerSample(format);
  if (bytes < kSizeLimit) return;
  char size[32];
  std::snprintf(size, sizeof size, "%.1f GB", static_cast<double>(bytes) / 1e9);
  throw ToolError(ExitStatus::Failure, name + " would hold " + size +
                                           " of audio, more than the 4 GiB its container can "
                                           "hold; write .rf64 or .w64 instead");
}

int exactBits(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_FLOAT:
      return 24;
    case SF_FORMAT_DOUBLE:
      return 53;
    default:
      return integerBits(format);
  }
}

int integerBits(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return 8;
    case SF_FORMAT_PCM_16:
      return 16;
    case SF_FORMAT_PCM_24:
      return 24;
    case SF_FORMAT_PCM_32:
      return 32;
    default:
      return 0;
  }
}

std::string sampleFormatName(int format) {
  SF_FORMAT_INFO info{};
  info.format = format & SF_FORMAT_SUBMASK;
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || info.name == nullptr)
    return "number " + std::to_string(info.format);
  return info.name;
}
