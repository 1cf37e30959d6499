// Ctrl-C, a closed terminal or a termination request while a file renders is
// only noted, so that the render stops between blocks and removes what it had
// written.
#pragma once

#include <array>

class InterruptionWatch {
 public:
  InterruptionWatch();
  // Restores the handlers that were in place before.
  ~InterruptionWatch();

  InterruptionWatch(const InterruptionWatch&) = delete;
  InterruptionWatch& operator=(const InterruptionWatch&) = delete;

  // Throws ToolError (ExitStatus::Failure) once a request has come.
  void check() const;

 private:
  std::array<void (*)(int), 3> previous_{};
};
