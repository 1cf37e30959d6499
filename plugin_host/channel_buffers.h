// Host-owned audio channels for one processing call. Guard samples lie before
// and after every channel, so a plugin that writes outside the frames it was
// given is caught, and the first guard it hit can be named. Channels may start
// a few samples off the allocator's alignment, as the buffers of hosts that
// hand out parts of larger ones do.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where a plugin wrote into a guard: the channel, the side of its frames and
// how many samples away from them (1: right next to them).
struct GuardHit {
  enum class Side { before, after };

  std::size_t channel;
  Side side;
  std::size_t distance;

  std::string describe() const {
    return "channel " + std::to_string(channel + 1) + ", " + std::to_string(distance) +
           (side == Side::before ? " sample(s) before its first frame"
                                 : " sample(s) after its last frame");
  }
};

template <typename Sample>
class ChannelBuffers {
 public:
  static constexpr std::size_t kGuardSamples = 16;

  // misalignment: samples by which every channel starts later than a start
  // aligned as the allocator aligns.
  ChannelBuffers(std::size_t channels, std::int32_t frames, Sample fill,
                 std::size_t misalignment = 0)
      : frames_(frames),
        start_(kGuardSamples + misalignment),
        guard_(uniqueGuardValue()),
        samples_(channels, std::vector<Sample>(start_ + frameCount() + kGuardSamples, guard_)) {
    for (auto& channel : samples_) {
      std::fill_n(channel.begin() + startOffset(), frames, fill);
      pointers_.push_back(channel.data() + start_);
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

  Sample& at(std::size_t channel, std::int32_t frame) { return samples_[channel][indexOf(frame)]; }

  const Sample& at(std::size_t channel, std::int32_t frame) const {
    return samples_[channel][indexOf(frame)];
  }

  // Sets every frame of every channel to pattern(channel, frame).
  template <typename Pattern>
  void fillWith(Pattern&& pattern) {
    for (std::size_t channel = 0; channel < channels(); ++channel)
      for (std::int32_t frame = 0; frame < frames_; ++frame)
        at(channel, frame) = static_cast<Sample>(pattern(channel, frame));
  }

  // The frames of one channel, without its guards.
  std::vector<Sample> channel(std::size_t index) const {
    const auto first = samples_[index].begin() + startOffset();
    return {first, first + frames_};
  }

  // The guard sample nearest the frames that no longer holds the guard value,
  // on the first channel that has one; the side before the frames first.
  std::optional<GuardHit> firstGuardHit() const {
    for (std::size_t channel = 0; channel < channels(); ++channel) {
      if (const auto hit = guardHitIn(channel)) return hit;
    }
    return std::nullopt;
  }

  bool guardsIntact() const { return !firstGuardHit(); }

 private:
  // Each set of buffers guards with its own value, so a plugin that copies
  // from beyond the end of its inputs into its outputs is caught too.
  static Sample uniqueGuardValue() {
    static std::atomic<int> buffersMade{0};
    return static_cast<Sample>(-4096 - ++buffersMade);
  }

  std::size_t frameCount() const { return static_cast<std::size_t>(frames_); }
  std::ptrdiff_t startOffset() const { return static_cast<std::ptrdiff_t>(start_); }
  std::size_t indexOf(std::int32_t frame) const { return start_ + static_cast<std::size_t>(frame); }

  std::optional<GuardHit> guardHitIn(std::size_t channel) const {
    const std::vector<Sample>& samples = samples_[channel];
    for (std::size_t distance = 1; distance <= start_; ++distance) {
      if (samples[start_ - distance] != guard_)
        return GuardHit{channel, GuardHit::Side::before, distance};
    }
    const std::size_t end = start_ + frameCount();
    for (std::size_t distance = 1; end + distance <= samples.size(); ++distance) {
      if (samples[end + distance - 1] != guard_)
        return GuardHit{channel, GuardHit::Side::after, distance};
    }
    return std::nullopt;
  }

  std::int32_t frames_;
  std::size_t start_;
  Sample guard_;
  std::vector<std::vector<Sample>> samples_;
  std::vector<Sample*> pointers_;
};
