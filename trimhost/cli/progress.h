// A progress bar on standard error for a render that takes more than a
// moment, drawn only when standard error is a terminal.
#pragma once

#include <chrono>
#include <cstdint>

class Progress {
 public:
  explicit Progress(std::int64_t totalFrames);
  // Clears the bar, so that what follows starts on a clean line.
  ~Progress();

  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void update(std::int64_t doneFrames);

 private:
  using Clock = std::chrono::steady_clock;

  std::int64_t total_;
  bool enabled_;
  bool drawn_ = false;
  Clock::time_point start_ = Clock::now();
  Clock::time_point lastDrawn_{};
};
