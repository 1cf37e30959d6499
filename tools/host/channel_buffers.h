// Host-owned audio channels for one processing call. Every channel is followed
// by guard samples, so a plugin that writes past the frame count is caught.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

template <typename Sample>
class ChannelBuffers {
 public:
  static constexpr std::size_t kGuardSamples = 16;

  ChannelBuffers(std::size_t channels, std::int32_t frames, Sample fill)
      : frames_(frames),
        guard_(uniqueGuardValue()),
        samples_(channels,
                 std::vector<Sample>(static_cast<std::size_t>(frames) + kGuardSamples, guard_)) {
    for (auto& channel : samples_) {
      std::fill_n(channel.begin(), frames, fill);
      pointers_.push_back(channel.data());
    }
  }

  // A copy would hand out the original's channel pointers.
  ChannelBuffers(const ChannelBuffers&) = delete;
  ChannelBuffers& operator=(const ChannelBuffers&) = delete;
  ChannelBuffers(ChannelBuffers&&) noexcept = default;
  ChannelBuffers& operator=(ChannelBuffers&&) noexcept = default;

  Sample** pointers() { return pointers_.data(); }
  std::int32_t frames() const { return frames_; }
  std::size_t channels() const { return samples_.size(); }

  Sample& at(std::size_t channel, std::int32_t frame) {
    return samples_[channel][static_cast<std::size_t>(frame)];
  }

  const Sample& at(std::size_t channel, std::int32_t frame) const {
    return samples_[channel][static_cast<std::size_t>(frame)];
  }

  // The frames of one channel, without its guard.
  std::vector<Sample> channel(std::size_t index) const {
    const auto& samples = samples_[index];
    return {samples.begin(), samples.begin() + frames_};
  }

  bool guardsIntact() const {
    return std::all_of(samples_.begin(), samples_.end(), [this](const std::vector<Sample>& s) {
      return std::all_of(s.begin() + frames_, s.end(),
                         [this](Sample value) { return value == guard_; });
    });
  }

 private:
  // Each set of buffers guards with its own value, so a plugin that copies
  // one past the end of its inputs into its outputs is caught too.
  static Sample uniqueGuardValue() {
    static std::atomic<int> buffersMade{0};
    return static_cast<Sample>(-4096 - ++buffersMade);
  }

  std::int32_t frames_;
  Sample guard_;
  std::vector<std::vector<Sample>> samples_;
  std::vector<Sample*> pointers_;
};
