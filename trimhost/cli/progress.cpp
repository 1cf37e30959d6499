#include "trimhost/cli/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

// A short render shows no bar at all; a long one is redrawn a few times a second.
constexpr auto kQuietStart = std::chrono::milliseconds(500);
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 40;

}  // namespace

Progress::Progress(std::int64_t totalFrames)
    : total_(totalFrames), enabled_(totalFrames > 0 && isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() {
  if (drawn_) std::fprintf(stderr, "\r%*s\r", kBarWidth + 16, "");
}

void Progress::update(std::int64_t doneFrames) {
  const Clock::time_point now = Clock::now();
  if (!enabled_ || now - start_ < kQuietStart || now - lastDrawn_ < kRedrawInterval) return;
  lastDrawn_ = now;
  drawn_ = true;
  const double fraction =
      std::min(1.0, static_cast<double>(doneFrames) / static_cast<double>(total_));
  const int filled = static_cast<int>(fraction * kBarWidth);
  std::fprintf(
      stderr, "\r[%s%s] %5.1f%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
      std::string(static_cast<std::size_t>(kBarWidth - filled), '.').c_str(), 100.0 * fraction);
  std::fflush(stderr);
}
