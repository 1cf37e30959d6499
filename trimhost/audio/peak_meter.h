// The largest absolute sample of each channel, and its level in dBFS; an
// infinite sample makes an infinite peak. NaN samples have no level: they are
// counted apart.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PeakMeter {
 public:
  explicit PeakMeter(std::size_t channels) : peaks_(channels, 0.0), nans_(channels, 0) {}

  template <typename Sample>
  void measure(const Sample* interleaved, std::size_t frames) {
    const std::size_t channels = peaks_.size();
    for (std::size_t i = 0; i < frames * channels; ++i)
      add(i % channels, static_cast<double>(interleaved[i]));
  }

  void add(std::size_t channel, double sample) {
    if (std::isnan(sample)) {
      ++nans_[channel];
      return;
    }
    peaks_[channel] = std::max(peaks_[channel], std::abs(sample));
  }

  const std::vector<double>& peaks() const { return peaks_; }
  const std::vector<std::int64_t>& nanSamples() const { return nans_; }

  // The peaks in dBFS with two decimals, "-inf" for silence, separated by blanks.
  std::string dbfsList() const;

  // The channels (counted from 1) whose peak lies beyond full scale.
  std::vector<std::size_t> channelsBeyondFullScale() const;

 private:
  std::vector<double> peaks_;
  std::vector<std::int64_t> nans_;
};

// "+inf" for an infinite peak, "-inf" for silence.
std::string dbfs(double peak);
// Peaks in dBFS as dbfs() gives them, separated by blanks.
std::string dbfsList(const std::vector<double>& peaks);
// "; NaN samples in channel 2: 5, channel 4: 1", or "" when there are none.
std::string nanNote(const std::vector<std::int64_t>& nanSamples);
