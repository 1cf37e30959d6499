#include "trimhost/safety/render_child.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>

#include "trimhost/cli/number_options.h"
#include "trimhost/cli/tool_error.h"
#include "trimhost/commands/render_report.h"

namespace {

using Clock = std::chrono::steady_clock;

// A render past its limit has this long to end by its own handlers after
// SIGTERM, which remove its output, before SIGKILL.
constexpr auto kStopGrace = std::chrono::seconds(2);

// How long a watch waits for the children before it checks their time
// limits and the interruptions.
constexpr int kWatchMilliseconds = 200;

// The child's pipes: the result pipe carries its announcements and its
// result; the error pipe, when its standard error is collected, that.
constexpr std::size_t kResultPipe = 0;
constexpr std::size_t kErrorPipe = 1;

void writeAll(int descriptor, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(descriptor, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    done += static_cast<std::size_t>(written);
  }
}

nlohmann::ordered_json failureOf(const RenderOptions& options, int status,
                                 const std::string& message) {
  return withMergedInputs(failureJson(options.input, options.output, status, message),
                          options.merged);
}

nlohmann::ordered_json renderedJson(const RenderOptions& options, int& status) {
  try {
    return resultJson(renderFile(options));
  } catch (const ToolError& error) {
    status = static_cast<int>(error.status);
    return failureOf(options, status, error.what());
  } catch (const std::exception& error) {
    status = static_cast<int>(ExitStatus::Failure);
    return failureOf(options, status, error.what());
  }
}

// In the child: the render, its result as a line of JSON on the result pipe,
// and its exit status. With a collected standard error its human lines are
// dropped; the parent shows what it wrote to standard error only for a file
// that ended without a result.
[[noreturn]] void renderInChild(RenderOptions options, int resultPipe, int errorPipe,
                                InterruptionsHeld& held) {
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  // The parent's own handlers, inherited, would only note an interruption;
  // one that came meanwhile was held back, and is handled from here on.
  installSignalHandlers();
  held.restore();
  announceRemovalsTo(resultPipe);
  if (errorPipe >= 0) {
    const int discard = ::open("/dev/null", O_WRONLY);
    ::dup2(discard, STDOUT_FILENO);
    ::dup2(errorPipe, STDERR_FILENO);
  }
  options.json = false;
  int status = 0;
  const nlohmann::ordered_json json = renderedJson(options, status);
  std::fflush(stdout);
  // CBOR carries file names' bytes as they are, where JSON text could not.
  const std::vector<std::uint8_t> cbor = nlohmann::ordered_json::to_cbor(json);
  writeAll(resultPipe, std::string(cbor.begin(), cbor.end()));
  ::_exit(status);
}

// The last line a child wrote to standard error, without the tool's prefix.
std::string lastLine(const std::string& text) {
  const std::size_t end = text.find_last_not_of('\n');
  if (end == std::string::npos) return "";
  const std::size_t start = text.rfind('\n', end);
  const std::string line = text.substr(start == std::string::npos ? 0 : start + 1, end - start);
  const std::string prefix = "trimhost: ";
  return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line;
}

// What a child wrote on its result pipe: its announcements, each ended by a
// NUL (the files it registered for removal, and how a signal ended it, as its
// handler says), then its JSON result as CBOR, unless it was ended before that.
struct ChildReport {
  std::vector<std::string> unfinished;
  std::string ending;
  std::string json;
};

ChildReport reportOf(const std::string& text) {
  ChildReport report;
  const std::string unfinished = kUnfinishedAnnouncement;
  const std::string ended = kEndedAnnouncement;
  const auto leads = [&text](std::size_t start, const std::string& lead) {
    return text.compare(start, lead.size(), lead) == 0;
  };
  std::size_t start = 0;
  for (std::size_t end; (leads(start, unfinished) || leads(start, ended)) &&
                        (end = text.find(kAnnouncementEnd, start)) != std::string::npos;
       start = end + 1) {
    const bool isFile = leads(start, unfinished);
    const std::size_t lead = isFile ? unfinished.size() : ended.size();
    const std::string what = text.substr(start + lead, end - start - lead);
    if (isFile) {
      report.unfinished.push_back(what);
    } else {
      report.ending = what;
    }
  }
  report.json = text.substr(start);
  return report;
}

// A child ended by a signal that no handler of its own sees (SIGKILL) has
// left its temporary files: they are removed here. Answers whether any was.
bool removeUnfinished(const ChildReport& report) {
  bool removed = false;
  for (const std::string& path : report.unfinished)
    if (::unlink(path.c_str()) == 0) removed = true;
  return removed;
}

}  // namespace

RenderChild::RenderChild(const RenderOptions& options, ChildStreams streams)
    : options_(options), timeLimit_(options.timeoutSeconds) {
  try {
    InterruptionsHeld held;
    const std::size_t pipes = streams == ChildStreams::Collected ? 2 : 1;
    child_.emplace(pipes, false, [&options, &held](const std::vector<int>& ends) {
      renderInChild(options, ends[kResultPipe], ends.size() > kErrorPipe ? ends[kErrorPipe] : -1,
                    held);
    });
  } catch (const ChildNotStarted& error) {
    throw ToolError(
        ExitStatus::Failure,
        std::string("cannot start a render: ") +
            (error.missing == ChildNotStarted::Missing::Pipe ? "no pipe" : "no process"));
  }
}

RenderChild::~RenderChild() {
  // Only when trimhost itself failed while the render ran: the render is not
  // wanted any more, and the files it announced are removed.
  if (!child_->reaped()) {
    stop(SIGKILL);
    child_->readToEnd(kResultPipe);
    finish();
  }
}

const std::string& RenderChild::errors() const {
  static const std::string none;
  return child_->pipes() > kErrorPipe ? child_->received(kErrorPipe) : none;
}

ChildOutcome RenderChild::finish() { return outcomeOf(child_->reap()); }

void RenderChild::enforceTimeLimit() {
  if (timeLimit_ <= 0 || ended() || child_->reaped()) return;
  const Clock::time_point now = Clock::now();
  if (!timedOut_ && child_->age() > std::chrono::duration<double>(timeLimit_)) {
    timedOut_ = true;
    killAt_ = now + kStopGrace;
    stop(SIGTERM);
  } else if (timedOut_ && now >= killAt_) {
    stop(SIGKILL);
  }
}

ChildOutcome RenderChild::outcomeOf(int waitStatus) const {
  const ChildReport report = reportOf(child_->received(kResultPipe));
  const bool signalled = WIFSIGNALED(waitStatus);
  const int exitStatus = signalled ? 128 + WTERMSIG(waitStatus) : WEXITSTATUS(waitStatus);
  const bool removed = removeUnfinished(report);
  const auto failure = [this](int status, const std::string& message) {
    return ChildOutcome{status, failureOf(options_, status, message)};
  };
  if (timedOut_ && exitStatus != 0)
    return failure(static_cast<int>(ExitStatus::TimedOut),
                   "went past --timeout " + numberText(timeLimit_) + " s and was stopped");
  if (signalled)
    return failure(exitStatus, "killed by " + signalPhrase(WTERMSIG(waitStatus)) +
                                   (removed ? "; unfinished output removed" : ""));
  if (!report.json.empty()) {
    try {
      return {exitStatus, nlohmann::ordered_json::from_cbor(report.json)};
    } catch (const nlohmann::json::exception&) {
    }
  }
  std::string message = !report.ending.empty() ? report.ending : lastLine(errors());
  if (message.empty()) message = "ended with exit status " + std::to_string(exitStatus);
  return failure(exitStatus, message);
}

void watchChildren(const std::vector<RenderChild*>& children) {
  std::vector<pollfd> watched;
  for (const RenderChild* child : children) child->child_->addPipes(watched);
  if (::poll(watched.data(), watched.size(), kWatchMilliseconds) < 0 && errno != EINTR)
    throw ToolError(ExitStatus::Failure, "cannot wait for the renders");
  for (RenderChild* child : children) {
    child->child_->readPipes(watched);
    child->enforceTimeLimit();
  }
}

ChildOutcome renderAlone(const RenderOptions& options) {
  const InterruptionWatch interruptions;
  RenderChild child(options, ChildStreams::Shared);
  int passedOn = 0;
  while (!child.ended()) {
    watchChildren({&child});
    if (const int signal = interruptions.signal(); signal != 0 && signal != passedOn) {
      child.stop(signal);
      passedOn = signal;
    }
  }
  return child.finish();
}
