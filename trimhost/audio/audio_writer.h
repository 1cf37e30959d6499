// Writing interleaved samples in the output's format. The tool turns samples
// into the file's numbers itself, so that it knows what the file holds:
// integer formats are rounded to the nearest step and clipped at full scale,
// 32-bit float saturates at the float range as the plugin's float path does,
// and compressed formats are clipped at full scale before encoding.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "trimhost/audio/peak_meter.h"
#include "trimhost/safety/output_file.h"

class AudioWriter {
 public:
  // Throws ToolError (ExitStatus::Failure) when the output cannot be started.
  AudioWriter(OutputFile& file, const SF_INFO& info);

  template <typename Sample>
  void write(const Sample* frames, sf_count_t count);

  // Completes the file's header. Throws ToolError (ExitStatus::Failure).
  void close();

  // What the file holds; for compressed formats what went into the encoder.
  const PeakMeter& peaks() const { return written_; }
  // The samples as they came, before clipping or rounding.
  const PeakMeter& levels() const { return levels_; }
  // Samples per channel that were clipped at full scale.
  const std::vector<std::int64_t>& clipped() const { return clipped_; }
  // True when the peaks are measured before a lossy encoder.
  bool peaksBeforeEncoding() const { return encoding_ == Encoding::Other; }

 private:
  enum class Encoding { Integer, Float, Double, Other };

  double encode(double sample, std::size_t index, std::size_t channel);
  void flush(sf_count_t count);

  OutputFile& file_;
  std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> sndfile_;
  std::size_t channels_;
  Encoding encoding_;
  double fullScale_ = 1.0;       // integer formats: the value of 1.0 in steps
  double toLibraryScale_ = 1.0;  // integer formats: from the format's steps to libsndfile's 32 bits
  std::vector<std::int32_t> integers_;
  std::vector<float> floats_;
  std::vector<double> doubles_;
  PeakMeter written_;
  PeakMeter levels_;
  std::vector<std::int64_t> clipped_;
};
