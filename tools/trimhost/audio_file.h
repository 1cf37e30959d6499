// Audio files through libsndfile: reading any format it reads, writing
// interleaved frames, and choosing the output format.
#pragma once

#include <sndfile.h>

#include <filesystem>
#include <memory>
#include <string>

class AudioReader {
 public:
  // Throws ToolError (ExitStatus::Failure) when the file cannot be read.
  explicit AudioReader(const std::filesystem::path& path);

  const SF_INFO& info() const { return info_; }

  // Interleaved frames; fewer than asked only at the end of the file.
  sf_count_t read(float* frames, sf_count_t count);
  sf_count_t read(double* frames, sf_count_t count);

 private:
  SF_INFO info_{};
  std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> file_;
};

class AudioWriter {
 public:
  // Writes to an open descriptor, which stays the caller's. Samples beyond
  // full scale are clipped in fixed-point formats rather than wrapped.
  // Throws ToolError (ExitStatus::Failure).
  AudioWriter(int descriptor, const SF_INFO& info);

  void write(const float* frames, sf_count_t count);
  void write(const double* frames, sf_count_t count);

  // Completes the file's header.
  void close();

 private:
  template <typename Sample>
  void writeFrames(const Sample* frames, sf_count_t count,
                   sf_count_t (*writer)(SNDFILE*, const Sample*, sf_count_t));

  std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> file_;
};

enum class SampleFormat { AsInput, Float32, Pcm16, Pcm24 };

// The container that the path's extension names (the input's when the
// extension names none) with the given sample format, or the input's.
// Throws ToolError (ExitStatus::Failure) when the container cannot hold it.
int outputFormat(const SF_INFO& input, const std::filesystem::path& output, SampleFormat format);

// Formats that cannot hold samples beyond full scale.
bool clipsAtFullScale(int format);

// libsndfile's name of the sample format, such as "Signed 16 bit PCM".
std::string sampleFormatName(int format);
