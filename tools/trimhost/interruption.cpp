#include "interruption.h"

#include <csignal>

#include "tool_error.h"

namespace {

constexpr std::array<int, 3> kWatched{SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t requested = 0;

void noteRequest(int) { requested = 1; }

}  // namespace

InterruptionWatch::InterruptionWatch() {
  for (std::size_t i = 0; i < kWatched.size(); ++i)
    previous_[i] = std::signal(kWatched[i], noteRequest);
}

InterruptionWatch::~InterruptionWatch() {
  for (std::size_t i = 0; i < kWatched.size(); ++i) std::signal(kWatched[i], previous_[i]);
}

void InterruptionWatch::check() const {
  if (requested != 0) throw ToolError(ExitStatus::Failure, "interrupted; no output written");
}
