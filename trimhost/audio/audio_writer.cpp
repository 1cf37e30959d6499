#include "trimhost/audio/audio_writer.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <string_view>

#include "trimhost/audio/output_format.h"
#include "trimhost/cli/tool_error.h"

namespace {

constexpr double kFloatLimit = FLT_MAX;

ToolError writeError(const OutputFile& file, SNDFILE* sndfile) {
  return ToolError(ExitStatus::Failure,
                   "cannot write " + file.name() + ": " + sf_strerror(sndfile));
}

SNDFILE* openOutput(OutputFile& file, const SF_INFO& info) {
  SF_INFO format = info;
  format.format = writtenFormat(info.format);
  SNDFILE* sndfile = sf_open_fd(file.descriptor(), SFM_WRITE, &format, SF_FALSE);
  if (sndfile == nullptr) throw writeError(file, nullptr);
  // A WAV file is started as RF64 and becomes plain WAV when small enough;
  // an RF64 file asked for by name stays RF64.
  if ((format.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RF64) {
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV)
      sf_command(sndfile, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
  } else {
    // Its time stamp would make two renders of the same audio differ.
    sf_command(sndfile, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  }
  sf_command(sndfile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return sndfile;
}

// Where a WAV's header keeps the speaker positions of an extensible format:
// the "fmt " chunk's data at 8 bytes from its id, the mask 20 bytes into it.
constexpr std::size_t kHeaderSearched = 512;
constexpr std::size_t kFormatTagOffset = 8;
constexpr std::size_t kChannelMaskOffset = 28;
constexpr unsigned char kExtensibleTag[] = {0xFE, 0xFF};

// libsndfile gives a WAV of more than two channels the mask of the usual
// layout for their count: six are 5.1, and pair 2's right channel would be
// labelled LFE. The channels here are whatever the plugin made of them, so
// the mask is cleared: no speaker positions are claimed.
void clearSpeakerPositions(int descriptor) {
  std::array<char, kHeaderSearched> header{};
  const ssize_t got = ::pread(descriptor, header.data(), header.size(), 0);
  if (got <= 0) return;
  const std::string_view text(header.data(), static_cast<std::size_t>(got));
  const std::size_t format = text.find("fmt ");
  if (format == std::string_view::npos || format + kChannelMaskOffset + 4 > text.size() ||
      static_cast<unsigned char>(text[format + kFormatTagOffset]) != kExtensibleTag[0] ||
      static_cast<unsigned char>(text[format + kFormatTagOffset + 1]) != kExtensibleTag[1])
    return;
  const char none[4] = {};
  const ssize_t ignored =
      ::pwrite(descriptor, none, sizeof none, static_cast<off_t>(format + kChannelMaskOffset));
  static_cast<void>(ignored);
}

}  // namespace

AudioWriter::AudioWriter(OutputFile& file, const SF_INFO& info)
    : file_(file),
      sndfile_(openOutput(file, info), sf_close),
      channels_(static_cast<std::size_t>(info.channels)),
      written_(channels_),
      levels_(channels_),
      clipped_(channels_, 0) {
  const int subtype = info.format & SF_FORMAT_SUBMASK;
  const int bits = integerBits(info.format);
  if (bits > 0) {
    encoding_ = Encoding::Integer;
    fullScale_ = std::ldexp(1.0, bits - 1);
    toLibraryScale_ = std::ldexp(1.0, 32 - bits);
  } else if (subtype == SF_FORMAT_FLOAT) {
    encoding_ = Encoding::Float;
  } else if (subtype == SF_FORMAT_DOUBLE) {
    encoding_ = Encoding::Double;
  } else {
    encoding_ = Encoding::Other;
  }
}

// Returns what the file holds of the sample, read back as libsndfile reads it.
double AudioWriter::encode(double sample, std::size_t index, std::size_t channel) {
  switch (encoding_) {
    case Encoding::Integer: {
      const double steps = std::isnan(sample) ? 0.0 : std::nearbyint(sample * fullScale_);
      const double held = std::fmin(std::fmax(steps, -fullScale_), fullScale_ - 1);
      if (held != steps) ++clipped_[channel];
      integers_[index] = static_cast<std::int32_t>(held * toLibraryScale_);
      return held / fullScale_;
    }
    case Encoding::Float:
      floats_[index] = static_cast<float>(
          std::isnan(sample) ? sample : std::clamp(sample, -kFloatLimit, kFloatLimit));
      return floats_[index];
    case Encoding::Double:
      doubles_[index] = sample;
      return sample;
    case Encoding::Other:
      if (std::fabs(sample) > 1.0) ++clipped_[channel];
      doubles_[index] = sample;
      return std::fmin(std::fabs(sample), 1.0);
  }
  return sample;
}

template <typename Sample>
void AudioWriter::write(const Sample* frames, sf_count_t count) {
  const std::size_t samples = static_cast<std::size_t>(count) * channels_;
  if (encoding_ == Encoding::Integer && integers_.size() < samples) integers_.resize(samples);
  if (encoding_ == Encoding::Float && floats_.size() < samples) floats_.resize(samples);
  if (doubles_.size() < samples && (encoding_ == Encoding::Double || encoding_ == Encoding::Other))
    doubles_.resize(samples);
  for (std::size_t index = 0; index < samples; ++index) {
    const std::size_t channel = index % channels_;
    const auto sample = static_cast<double>(frames[index]);
    levels_.add(channel, sample);
    written_.add(channel, encode(sample, index, channel));
  }
  flush(count);
}

void AudioWriter::flush(sf_count_t count) {
  SNDFILE* sndfile = sndfile_.get();
  sf_count_t written = 0;
  switch (encoding_) {
    case Encoding::Integer:
      written = sf_writef_int(sndfile, integers_.data(), count);
      break;
    case Encoding::Float:
      written = sf_writef_float(sndfile, floats_.data(), count);
      break;
    case Encoding::Double:
    case Encoding::Other:
      written = sf_writef_double(sndfile, doubles_.data(), count);
      break;
  }
  if (written != count) throw writeError(file_, sndfile);
}

void AudioWriter::close() {
  if (sf_close(sndfile_.release()) != 0) throw writeError(file_, nullptr);
  if (channels_ > 2 && file_.seekable()) clearSpeakerPositions(file_.descriptor());
}

template void AudioWriter::write(const float*, sf_count_t);
template void AudioWriter::write(const double*, sf_count_t);
