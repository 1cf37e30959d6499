// A function run in a process of its own, and the parent's hold on it: the
// pipes the child writes to, how long it has run, stopping it (with the
// process group it leads, when it leads one) and reaping it. Renders and
// probes run plugins in one, so that a plugin that crashes or hangs takes
// only that process down.
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// No child could be started for want of a pipe or a process; `error` is the
// system's errno.
struct ChildNotStarted : std::runtime_error {
  enum class Missing { Pipe, Process };
  ChildNotStarted(Missing missing, int error);

  Missing missing;
  int error;
};

class ChildProcess {
 public:
  using Clock = std::chrono::steady_clock;
  // Runs in the child with the writing ends of its pipes; ends it with _exit.
  using Body = std::function<void(const std::vector<int>& pipes)>;

  // Forks a child with `pipes` pipes to the parent that runs `body`. One
  // with `ownGroup` leads a process group of its own, so that whatever it
  // starts is stopped with it. Throws ChildNotStarted.
  ChildProcess(std::size_t pipes, bool ownGroup, const Body& body);
  // Kills and reaps a child not yet reaped.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  std::size_t pipes() const { return pipes_.size(); }
  // What the child wrote to a pipe so far.
  const std::string& received(std::size_t pipe) const { return received_[pipe]; }
  // True once the child has closed every pipe, or the parent stopped reading.
  bool pipesClosed() const;
  std::chrono::duration<double> age() const { return Clock::now() - started_; }
  bool reaped() const { return pid_ <= 0; }

  void addPipes(std::vector<pollfd>& watched) const;
  // Reads what the pipes `watched` found readable hold.
  void readPipes(const std::vector<pollfd>& watched);
  // Reads one pipe until the child closes it.
  void readToEnd(std::size_t pipe);
  // Reads every pipe until the child closes them or `deadline` passes;
  // false when the deadline came first. The pipes are closed either way.
  bool readAllBefore(Clock::time_point deadline);

  // Sends a signal to the child and its group. One already reaped is passed
  // over, as its process id may be another's by now.
  void signal(int signal);
  // Waits for the child to end; answers its wait status.
  int reap();
  // Waits until `deadline` at most: the wait status, or none while it runs.
  std::optional<int> reapBefore(Clock::time_point deadline);

 private:
  void read(std::size_t pipe);
  void closePipes();

  pid_t pid_ = -1;
  bool ownGroup_;
  std::vector<int> pipes_;  // the reading ends; -1 once closed
  std::vector<std::string> received_;
  Clock::time_point started_ = Clock::now();
  int waitStatus_ = 0;
};
