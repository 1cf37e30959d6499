#include "trimhost/audio/merged_input.h"

#include <algorithm>

#include "trimhost/audio/output_format.h"
#include "trimhost/cli/tool_error.h"

namespace {

void refuseStandardInputTwice(const std::vector<std::string>& paths) {
  if (std::count(paths.begin(), paths.end(), "-") > 1)
    throw ToolError(ExitStatus::Usage,
                    "standard input (-) can be read only once; give it as one input at most");
}

void refuseOtherRates(const AudioReader& first, const AudioReader& other) {
  if (other.info().samplerate == first.info().samplerate) return;
  throw ToolError(ExitStatus::Failure,
                  "cannot merge " + other.path() + " at " +
                      std::to_string(other.info().samplerate) + " Hz with " + first.path() +
                      " at " + std::to_string(first.info().samplerate) +
                      " Hz: merged inputs need one sample rate (resample one first)");
}

// A reader may answer fewer frames than asked before its end (a pipe): it
// ends only when it answers none.
template <typename Sample>
sf_count_t readFully(AudioReader& reader, Sample* frames, sf_count_t count) {
  sf_count_t done = 0;
  while (done < count) {
    const sf_count_t got = reader.read(frames + done * reader.info().channels, count - done);
    if (got == 0) break;
    done += got;
  }
  return done;
}

}  // namespace

MergedInput::MergedInput(const std::vector<std::string>& paths) {
  refuseStandardInputTwice(paths);
  readers_.reserve(paths.size());
  for (const std::string& path : paths) {
    readers_.emplace_back(path);
    refuseOtherRates(readers_.front(), readers_.back());
    channels_ += static_cast<std::size_t>(readers_.back().info().channels);
  }
  framesRead_.assign(readers_.size(), 0);
}

int MergedInput::widestFormat() const {
  int widest = first().format;
  for (const AudioReader& reader : readers_)
    if (exactBits(reader.info().format) > exactBits(widest)) widest = reader.info().format;
  return widest;
}

std::int64_t MergedInput::expectedFrames() const {
  std::int64_t longest = 0;
  for (const AudioReader& reader : readers_) {
    if (reader.expectedFrames() < 0) return -1;
    longest = std::max(longest, reader.expectedFrames());
  }
  return longest;
}

std::vector<std::int64_t> MergedInput::paddedFrames() const {
  const std::int64_t longest = *std::max_element(framesRead_.begin(), framesRead_.end());
  std::vector<std::int64_t> padded;
  for (std::int64_t read : framesRead_) padded.push_back(longest - read);
  return padded;
}

// Each file's frames go to its channels of the block; a file that has
// ended gives silence until the longest ends.
template <typename Sample>
sf_count_t MergedInput::readMerged(Sample* frames, sf_count_t count) {
  if (readers_.size() == 1) {
    const sf_count_t got = readFully(readers_.front(), frames, count);
    framesRead_.front() += got;
    return got;
  }
  std::vector<Sample> block;
  sf_count_t longest = 0;
  std::size_t offset = 0;
  std::fill(frames, frames + count * static_cast<sf_count_t>(channels_), Sample{});
  for (std::size_t file = 0; file < readers_.size(); ++file) {
    const auto fileChannels = static_cast<std::size_t>(readers_[file].info().channels);
    block.resize(static_cast<std::size_t>(count) * fileChannels);
    const sf_count_t got = readFully(readers_[file], block.data(), count);
    framesRead_[file] += got;
    longest = std::max(longest, got);
    for (sf_count_t frame = 0; frame < got; ++frame)
      std::copy_n(block.data() + frame * static_cast<sf_count_t>(fileChannels), fileChannels,
                  frames + frame * static_cast<sf_count_t>(channels_) + offset);
    offset += fileChannels;
  }
  return longest;
}

sf_count_t MergedInput::read(float* frames, sf_count_t count) { return readMerged(frames, count); }

sf_count_t MergedInput::read(double* frames, sf_count_t count) { return readMerged(frames, count); }
