// Reading any audio file libsndfile reads, holding it to what its header
// promises: a file that cannot be decoded to its end, or that ends before its
// header says, is an error rather than a short result.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <string>

class AudioReader {
 public:
  // Throws ToolError (ExitStatus::Failure) when the file cannot be read.
  explicit AudioReader(const std::string& path);

  const std::string& path() const { return path_; }
  const SF_INFO& info() const { return info_; }

  // The frames the header promises, -1 when it gives no length.
  std::int64_t expectedFrames() const { return expected_; }

  // Interleaved frames; 0 at the end. Throws ToolError (ExitStatus::Failure)
  // naming the file, the frames read and the frames expected when the file
  // is damaged or cut short.
  sf_count_t read(float* frames, sf_count_t count);
  sf_count_t read(double* frames, sf_count_t count);

 private:
  template <typename Sample>
  sf_count_t readFrames(Sample* frames, sf_count_t count,
                        sf_count_t (*reader)(SNDFILE*, Sample*, sf_count_t));
  [[noreturn]] void fail(const std::string& why) const;

  std::string path_;
  SF_INFO info_{};
  std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> file_;
  std::int64_t expected_ = -1;
  std::int64_t read_ = 0;
  bool streamCut_ = false;  // an Ogg file whose last page does not end its stream
};
