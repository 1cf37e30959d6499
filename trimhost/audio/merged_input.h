// The inputs of a render as one stream of frames: a single file as it is,
// or several (--merge) side by side, like sox's -M: file 1's channels first,
// then file 2's, and so on, each file padded with silence to the longest.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

#include "trimhost/audio/audio_reader.h"

class MergedInput {
 public:
  // Opens every file. Throws ToolError: ExitStatus::Usage when standard
  // input (-) is named more than once, ExitStatus::Failure when a file
  // cannot be read or its sample rate differs from the first file's.
  explicit MergedInput(const std::vector<std::string>& paths);

  // The first file's format, rate and channels.
  const SF_INFO& first() const { return readers_.front().info(); }
  std::size_t channels() const { return channels_; }
  // The sample format that holds the most bits exactly, of all the files'.
  int widestFormat() const;
  // The longest file's frames, -1 when a file gives no length.
  std::int64_t expectedFrames() const;

  // Interleaved frames of every channel; 0 when every file has ended.
  // Throws ToolError as AudioReader::read does.
  sf_count_t read(float* frames, sf_count_t count);
  sf_count_t read(double* frames, sf_count_t count);

  // Per file, the frames of silence added after its end, once all is read.
  std::vector<std::int64_t> paddedFrames() const;

 private:
  template <typename Sample>
  sf_count_t readMerged(Sample* frames, sf_count_t count);

  std::vector<AudioReader> readers_;
  std::vector<std::int64_t> framesRead_;  // per file
  std::size_t channels_ = 0;
};
