// A render in a process of its own, watched by trimhost's: a plugin that
// crashes, hangs past --timeout or is killed takes only that process down,
// and trimhost still reports how the render ended and removes its unfinished
// output. A batch runs many at once; a single render runs one.
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "trimhost/commands/render.h"
#include "trimhost/safety/child_process.h"
#include "trimhost/safety/signal_cleanup.h"

// Where the child's own lines go.
enum class ChildStreams {
  Collected,  // standard output dropped, standard error kept for a failure's message (batch)
  Shared,     // trimhost's standard output and error, as if it rendered itself
};

// How a render ended: its exit status (7 when it went past --timeout, 128 + N
// when signal N ended it) and its JSON object, resultJson or failureJson.
struct ChildOutcome {
  int exitStatus = 0;
  nlohmann::ordered_json json;
};

class RenderChild {
 public:
  // Forks the render of options.input into options.output. Throws ToolError
  // when no process can be started.
  RenderChild(const RenderOptions& options, ChildStreams streams);
  ~RenderChild();
  RenderChild(const RenderChild&) = delete;
  RenderChild& operator=(const RenderChild&) = delete;

  // True once the child has closed its pipes: finish() then waits no longer.
  bool ended() const { return child_->pipesClosed(); }

  // What it wrote to a collected standard error so far.
  const std::string& errors() const;

  // Asks a running child to end (SIGTERM, or an interruption passed on): its
  // handlers remove its unfinished output. One already ended is passed over,
  // as it may be reaped and its process id another's by now.
  void stop(int signal) { child_->signal(signal); }

  // Reaps the child; answers how the render ended, after removing the files
  // it announced should no handler of its own have run.
  ChildOutcome finish();

 private:
  friend void watchChildren(const std::vector<RenderChild*>& children);

  void enforceTimeLimit();
  ChildOutcome outcomeOf(int waitStatus) const;

  RenderOptions options_;  // its files name its outcome
  double timeLimit_;       // seconds, 0 for none
  // Its pipes: what it announced, then its JSON; and, collected, its
  // standard error.
  std::optional<ChildProcess> child_;
  std::chrono::steady_clock::time_point killAt_;  // when it went past its limit
  bool timedOut_ = false;
};

// Waits a moment for any of the children to write or end, reads what they
// wrote, and stops those past their time limit: SIGTERM first, SIGKILL when
// one is still there after a short grace.
void watchChildren(const std::vector<RenderChild*>& children);

// A single render in a child whose lines go where trimhost's go. An
// interruption of trimhost meanwhile is passed on to it, so that it removes
// its output and ends as trimhost would have; the outcome then says so.
ChildOutcome renderAlone(const RenderOptions& options);
