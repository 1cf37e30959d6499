#include "batch.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "peak_meter.h"
#include "render_report.h"
#include "signal_cleanup.h"
#include "text_match.h"
#include "tool_error.h"

namespace {

// A file being rendered by a child process: what it reports on its result
// pipe, and what it writes to standard error (a crash's message).
struct Child {
  std::size_t file;
  pid_t pid;
  int resultPipe;
  int errorPipe;
  std::string result;
  std::string errors;
};

struct Outcome {
  int exitStatus = 0;
  nlohmann::ordered_json json;
};

std::string extensionFor(const std::string& input, const FormatRequest& format) {
  if (!format.container.empty()) return "." + lowerCase(format.container);
  const std::string codec = lowerCase(format.sampleFormat);
  if (codec == "vorbis") return ".ogg";
  if (codec == "opus" || codec == "mp3") return "." + codec;
  return std::filesystem::path(input).extension().string();
}

// Two renders that would write one output, and outputs already meant for
// another render, are refused before anything is rendered.
std::vector<std::string> plannedOutputs(const BatchOptions& options,
                                        const std::vector<std::vector<std::string>>& groups) {
  std::vector<std::string> outputs;
  std::map<std::string, std::string> inputOf;
  for (const std::vector<std::string>& group : groups) {
    const std::string& input = group.front();
    const std::string output = batchOutputPath(input, options.outputDir, options.render.format);
    const auto [taken, fresh] = inputOf.emplace(output, input);
    if (!fresh)
      throw ToolError(ExitStatus::Usage, "the inputs " + taken->second + " and " + input +
                                             " would both be written to " + output);
    outputs.push_back(output);
  }
  return outputs;
}

void writeAll(int descriptor, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(descriptor, text.data() + done, text.size() - done);
    if (written <= 0) return;
    done += static_cast<std::size_t>(written);
  }
}

// In the child: the render, its JSON result (as CBOR) on the result pipe, and its
// exit status. Its human lines are not wanted; its standard error goes to the
// parent, which shows it only for a file that ended without a result.
[[noreturn]] void renderInChild(RenderOptions options, int resultPipe, int errorPipe,
                                InterruptionsHeld& held) {
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  // The batch's own handlers, inherited, would only note an interruption;
  // one that came meanwhile was held back, and is handled from here on.
  installSignalHandlers();
  held.restore();
  announceRemovalsTo(resultPipe);
  const int discard = ::open("/dev/null", O_WRONLY);
  ::dup2(discard, STDOUT_FILENO);
  ::dup2(errorPipe, STDERR_FILENO);
  options.json = false;
  int status = 0;
  nlohmann::ordered_json json;
  try {
    json = resultJson(renderFile(options));
  } catch (const ToolError& error) {
    status = static_cast<int>(error.status);
    json = withMergedInputs(failureJson(options.input, options.output, status, error.what()),
                            options.merged);
  } catch (const std::exception& error) {
    status = static_cast<int>(ExitStatus::Failure);
    json = withMergedInputs(failureJson(options.input, options.output, status, error.what()),
                            options.merged);
  }
  std::fflush(stdout);
  // CBOR carries file names' bytes as they are, where JSON text could not.
  const std::vector<std::uint8_t> cbor = nlohmann::ordered_json::to_cbor(json);
  writeAll(resultPipe, std::string(cbor.begin(), cbor.end()));
  ::_exit(status);
}

void makePipe(int ends[2]) {
  if (::pipe2(ends, O_CLOEXEC) != 0)
    throw ToolError(ExitStatus::Failure, "cannot start a render: no pipe");
}

Child startChild(const BatchOptions& options, std::size_t file,
                 const std::vector<std::string>& group, const std::string& output) {
  int result[2];
  int errors[2];
  makePipe(result);
  makePipe(errors);
  std::fflush(nullptr);
  InterruptionsHeld held;
  const pid_t pid = ::fork();
  if (pid < 0) throw ToolError(ExitStatus::Failure, "cannot start a render: no process");
  if (pid == 0) {
    ::close(result[0]);
    ::close(errors[0]);
    RenderOptions render = options.render;
    render.input = group.front();
    render.merged = mergedInputs(options, group);
    render.output = output;
    renderInChild(render, result[1], errors[1], held);
  }
  ::close(result[1]);
  ::close(errors[1]);
  return {file, pid, result[0], errors[0], "", ""};
}

// Reads what is there; closes the pipe at its end. Answers false then.
bool drain(int& descriptor, std::string& into) {
  char buffer[4096];
  const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
  if (count > 0) {
    into.append(buffer, static_cast<std::size_t>(count));
    return true;
  }
  if (count < 0 && errno == EINTR) return true;
  ::close(descriptor);
  descriptor = -1;
  return false;
}

// The last line a child wrote to standard error, without the tool's prefix.
std::string lastLine(const std::string& text) {
  std::string line;
  std::size_t end = text.find_last_not_of('\n');
  if (end == std::string::npos) return "";
  const std::size_t start = text.rfind('\n', end);
  line = text.substr(start == std::string::npos ? 0 : start + 1, end - start);
  const std::string prefix = "trimhost: ";
  return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line;
}

// What a child wrote on its result pipe: the files it registered for removal,
// each announced apart, then its JSON result as CBOR, unless it was ended
// before that.
struct ChildReport {
  std::vector<std::string> unfinished;
  std::string json;
};

ChildReport reportOf(const std::string& text) {
  ChildReport report;
  const std::string lead = kUnfinishedAnnouncement;
  std::size_t start = 0;
  for (std::size_t end; text.compare(start, lead.size(), lead) == 0 &&
                        (end = text.find(kAnnouncementEnd, start)) != std::string::npos;
       start = end + 1) {
    report.unfinished.push_back(text.substr(start + lead.size(), end - start - lead.size()));
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

Outcome outcomeOf(const Child& child, int waitStatus, const std::string& input,
                  const std::string& output) {
  const ChildReport report = reportOf(child.result);
  if (WIFSIGNALED(waitStatus)) {
    const int exitStatus = 128 + WTERMSIG(waitStatus);
    const std::string removed = removeUnfinished(report) ? "; unfinished output removed" : "";
    return {exitStatus, failureJson(input, output, exitStatus,
                                    "killed by " + signalPhrase(WTERMSIG(waitStatus)) + removed)};
  }
  const int exitStatus = WEXITSTATUS(waitStatus);
  if (!report.json.empty()) {
    try {
      return {exitStatus, nlohmann::ordered_json::from_cbor(report.json)};
    } catch (const nlohmann::json::exception&) {
    }
  }
  std::string message = lastLine(child.errors);
  if (message.empty()) message = "ended with exit status " + std::to_string(exitStatus);
  return {exitStatus, failureJson(input, output, exitStatus, message)};
}

std::string peakList(const nlohmann::ordered_json& peaks) {
  std::vector<double> linear;
  for (const auto& peak : peaks) {
    if (peak.is_string()) {
      linear.push_back(HUGE_VAL);
    } else {
      linear.push_back(peak.is_null() ? 0.0 : std::pow(10.0, peak.get<double>() / 20.0));
    }
  }
  return dbfsList(linear);
}

std::string clippedNote(const nlohmann::ordered_json& clipped) {
  std::string channels;
  for (std::size_t channel = 0; channel < clipped.size(); ++channel)
    if (clipped[channel].get<std::int64_t>() > 0) channels += " " + std::to_string(channel + 1);
  return channels.empty() ? "" : "; clipped in channel(s)" + channels;
}

// A file the batch left out: it did not fail, so it has no exit status.
nlohmann::ordered_json leftOutJson(const std::string& input, const std::string& output,
                                   const std::string& status, const std::string& message) {
  return {{"input", input},
          {"output", output},
          {"status", status},
          {"exit_status", nullptr},
          {"message", message}};
}

// The inputs to render: with --skip-existing those whose output is not there
// yet; without it every one, and an existing output is refused before
// anything is rendered unless --overwrite allows replacing it.
std::vector<std::size_t> inputsToRender(const BatchOptions& options,
                                        const std::vector<std::string>& outputs) {
  std::vector<std::size_t> chosen;
  std::vector<std::string> existing;
  for (std::size_t file = 0; file < outputs.size(); ++file) {
    if (namesExistingFile(outputs[file])) {
      existing.push_back(outputs[file]);
      if (options.skipExisting) continue;
    }
    chosen.push_back(file);
  }
  if (!existing.empty() && !options.skipExisting &&
      options.render.existingOutputs == ExistingOutput::Refuse) {
    const std::string more =
        existing.size() > 1 ? " (and " + std::to_string(existing.size() - 1) + " more)" : "";
    throw existingOutputError(existing.front() + more,
                              ", or --skip-existing to leave out the inputs whose output exists");
  }
  return chosen;
}

// "a.wav + b.wav": the inputs of a group, merged.
std::string joinedInputs(const std::vector<std::string>& group) {
  std::string text;
  for (const std::string& input : group) text += (text.empty() ? "" : " + ") + input;
  return text;
}

std::string inputsText(const nlohmann::ordered_json& j) {
  if (!j.contains("inputs")) return j.value("input", "");
  return joinedInputs(j["inputs"].get<std::vector<std::string>>());
}

std::string paddingNote(const nlohmann::ordered_json& j) {
  if (!j.contains("padded_frames")) return "";
  const std::string padded = paddingList(j["inputs"].get<std::vector<std::string>>(),
                                         j["padded_frames"].get<std::vector<std::int64_t>>());
  return padded.empty() ? "" : "; padded with silence: " + padded;
}

std::string outcomeLine(const Outcome& outcome) {
  const nlohmann::ordered_json& j = outcome.json;
  const std::string input = inputsText(j);
  const std::string status = j.value("status", "failed");
  if (status != "ok") {
    const std::string code =
        outcome.exitStatus != 0 ? " (exit status " + std::to_string(outcome.exitStatus) + ")" : "";
    return status + ": " + input + ": " + j.value("message", "") + code;
  }
  char summary[160];
  std::snprintf(summary, sizeof summary, ": %s, %.1fx real time, peak dBFS out ",
                counted(j.value("frames", std::int64_t{0}), "frame").c_str(),
                j.value("realtime_factor", 0.0));
  return "ok: " + input + " -> " + j.value("output", "") + summary + peakList(j["peak_dbfs_out"]) +
         clippedNote(j["clipped_samples"]) + paddingNote(j);
}

// The batch's progress on standard error, when that is a terminal.
class BatchProgress {
 public:
  explicit BatchProgress(std::size_t total) : total_(total), enabled_(::isatty(STDERR_FILENO)) {}

  void show(std::size_t done, std::size_t running) {
    if (!enabled_) return;
    std::fprintf(stderr, "\r[%zu/%zu files done, %zu rendering]", done, total_, running);
    std::fflush(stderr);
    drawn_ = true;
  }

  // Clears the line before a line of text.
  void clear() {
    if (!drawn_) return;
    std::fprintf(stderr, "\r%60s\r", "");
    drawn_ = false;
  }

 private:
  std::size_t total_;
  bool enabled_;
  bool drawn_ = false;
};

class Batch {
 public:
  Batch(const BatchOptions& options, std::optional<JsonOutput>& json)
      : options_(options),
        groups_(inputGroups(options)),
        outputs_(plannedOutputs(options, groups_)),
        toRender_(inputsToRender(options, outputs_)),
        json_(json),
        progress_(toRender_.size()) {}

  // Answers the worst exit status.
  int run() {
    reportSkipped();
    const std::size_t jobs = options_.jobs > 0 ? static_cast<std::size_t>(options_.jobs)
                                               : std::max(1U, std::thread::hardware_concurrency());
    const InterruptionWatch interruptions;
    auto next = toRender_.begin();
    while ((next != toRender_.end() && stopReason_.empty()) || !running_.empty()) {
      while (stopReason_.empty() && next != toRender_.end() && running_.size() < jobs) {
        running_.push_back(startChild(options_, *next, groups_[*next], outputs_[*next]));
        ++next;
      }
      progress_.show(done_, running_.size());
      waitForChildren();
      if (const int signal = interruptions.signal(); signal != 0 && interruptedBy_ == 0) {
        interruptedBy_ = signal;
        stopOthers("the batch was interrupted (" + signalName(signal) + ")");
      }
    }
    for (; next != toRender_.end(); ++next) reportLeftOut(*next, "not rendered", stopReason_);
    progress_.clear();
    return interruptedBy_ != 0 ? 128 + interruptedBy_ : worst_;
  }

  std::size_t skipped() const { return outputs_.size() - toRender_.size(); }

 private:
  void waitForChildren() {
    std::vector<pollfd> watched;
    for (const Child& child : running_)
      for (int descriptor : {child.resultPipe, child.errorPipe})
        if (descriptor >= 0) watched.push_back({descriptor, POLLIN, 0});
    if (::poll(watched.data(), watched.size(), 500) < 0 && errno != EINTR)
      throw ToolError(ExitStatus::Failure, "cannot wait for the renders");
    for (Child& child : running_) {
      if (child.resultPipe >= 0 && readable(watched, child.resultPipe))
        drain(child.resultPipe, child.result);
      if (child.errorPipe >= 0 && readable(watched, child.errorPipe))
        drain(child.errorPipe, child.errors);
    }
    const auto finished =
        std::stable_partition(running_.begin(), running_.end(),
                              [](const Child& c) { return c.resultPipe >= 0 || c.errorPipe >= 0; });
    for (auto child = finished; child != running_.end(); ++child) finish(*child);
    running_.erase(finished, running_.end());
  }

  void reportSkipped() {
    for (std::size_t file = 0, next = 0; file < outputs_.size(); ++file) {
      if (next < toRender_.size() && toRender_[next] == file) {
        ++next;
        continue;
      }
      reportLeftOut(file, "skipped", "its output exists");
    }
  }

  void reportLeftOut(std::size_t file, const std::string& status, const std::string& why) {
    report(file, {0, leftOutJson(groups_[file].front(), outputs_[file], status, why)}, false);
  }

  static bool readable(const std::vector<pollfd>& watched, int descriptor) {
    return std::any_of(watched.begin(), watched.end(), [descriptor](const pollfd& p) {
      return p.fd == descriptor && p.revents != 0;
    });
  }

  void finish(const Child& child) {
    int waitStatus = 0;
    while (::waitpid(child.pid, &waitStatus, 0) < 0 && errno == EINTR) {
    }
    const Outcome outcome =
        outcomeOf(child, waitStatus, groups_[child.file].front(), outputs_[child.file]);
    ++done_;
    passOnWarnings(child.errors);
    // A render the batch stopped did not fail of its own: the batch's status
    // is that of the failure that stopped it, whatever --jobs is, or the
    // interruption's. An interruption from the terminal reaches the renders
    // too.
    if (!stopReason_.empty() &&
        (outcome.exitStatus == 128 + SIGTERM ||
         (interruptedBy_ != 0 && outcome.exitStatus == 128 + interruptedBy_))) {
      reportLeftOut(child.file, "not rendered", stopReason_);
      return;
    }
    report(child.file, outcome, true);
    if (outcome.exitStatus != 0 && options_.failFast && stopReason_.empty())
      stopOthers("stopped after " + joinedInputs(groups_[child.file]) + " failed");
  }

  // A render's warnings (a preset's value outside its range, say) are the
  // user's to see however it ended; renders with the same settings warn
  // alike, and each warning is shown once.
  void passOnWarnings(const std::string& errors) {
    const std::string lead = "trimhost: warning: ";
    std::istringstream lines(errors);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind(lead, 0) != 0 || !warningsShown_.insert(line).second) continue;
      progress_.clear();
      std::fprintf(stderr, "%s\n", line.c_str());
    }
  }

  // Every object of a group lists its inputs, also when its render did not
  // get as far as saying so.
  void report(std::size_t file, Outcome outcome, bool counts) {
    outcome.json = withMergedInputs(outcome.json, mergedInputs(options_, groups_[file]));
    progress_.clear();
    std::printf("%s\n", outcomeLine(outcome).c_str());
    std::fflush(stdout);
    if (json_) json_->print(outcome.json);
    if (counts) worst_ = std::max(worst_, outcome.exitStatus);
    if (counts && outcome.exitStatus == 0) ++rendered_;
  }

  // The renders still running end as on an interruption: each removes its
  // unfinished output. Those already reaped are passed over: their process
  // ids may be another's by now.
  void stopOthers(const std::string& reason) {
    stopReason_ = reason;
    for (const Child& child : running_)
      if (child.resultPipe >= 0 || child.errorPipe >= 0) ::kill(child.pid, SIGTERM);
  }

 public:
  std::size_t rendered() const { return rendered_; }
  int interruptedBy() const { return interruptedBy_; }

 private:
  const BatchOptions& options_;
  std::vector<std::vector<std::string>> groups_;  // the inputs of each render
  std::vector<std::string> outputs_;
  std::vector<std::size_t> toRender_;  // indices of the inputs, in order
  std::optional<JsonOutput>& json_;
  BatchProgress progress_;
  std::vector<Child> running_;
  std::size_t done_ = 0;
  std::size_t rendered_ = 0;
  int worst_ = 0;
  std::string stopReason_;  // why the batch stopped early: a failure (--fail-fast), a signal
  int interruptedBy_ = 0;
  std::set<std::string> warningsShown_;
};

void printPlan(const BatchOptions& options) {
  const std::vector<std::vector<std::string>> groups = inputGroups(options);
  const std::vector<std::string> outputs = plannedOutputs(options, groups);
  const std::vector<std::size_t> chosen = inputsToRender(options, outputs);
  for (std::size_t file = 0; file < outputs.size(); ++file) {
    const bool renders = std::binary_search(chosen.begin(), chosen.end(), file);
    std::printf("%s: %s -> %s\n", renders ? "would render" : "would skip, as it exists",
                joinedInputs(groups[file]).c_str(), outputs[file].c_str());
  }
}

}  // namespace

std::vector<std::vector<std::string>> inputGroups(const BatchOptions& options) {
  const std::size_t size = std::max<std::size_t>(1, options.group);
  if (options.inputs.size() % size != 0)
    throw ToolError(ExitStatus::Usage,
                    "--group " + std::to_string(size) + ": " +
                        counted(static_cast<long long>(options.inputs.size()), "input") +
                        " do not make whole groups of " + std::to_string(size));
  std::vector<std::vector<std::string>> groups;
  for (auto first = options.inputs.begin(); first != options.inputs.end(); first += size)
    groups.emplace_back(first, first + static_cast<std::ptrdiff_t>(size));
  return groups;
}

std::vector<std::string> mergedInputs(const BatchOptions& options,
                                      const std::vector<std::string>& group) {
  return options.group > 0 ? group : std::vector<std::string>{};
}

std::string batchOutputPath(const std::string& input, const std::string& outputDir,
                            const FormatRequest& format) {
  const std::filesystem::path name = std::filesystem::path(input).stem();
  return (std::filesystem::path(outputDir) / name).string() + extensionFor(input, format);
}

void runBatch(const BatchOptions& options) {
  const std::size_t renders = inputGroups(options).size();
  const std::string noun = options.group > 0 ? "group" : "file";
  if (options.dryRun) {
    printPlan(options);
    return;
  }
  std::error_code error;
  std::filesystem::create_directories(options.outputDir, error);
  if (!error && !std::filesystem::is_directory(options.outputDir))
    error = std::make_error_code(std::errc::not_a_directory);
  if (error)
    throw ToolError(ExitStatus::Failure,
                    "cannot make the output folder " + options.outputDir + ": " + error.message());
  std::optional<JsonOutput> json;
  if (options.render.json) json.emplace();
  Batch batch(options, json);
  const int worst = batch.run();
  const std::string skipped = batch.skipped() > 0 ? ", " + std::to_string(batch.skipped()) +
                                                        " skipped as their output exists"
                                                  : "";
  std::printf("batch: %zu of %s rendered into %s%s\n", batch.rendered(),
              counted(static_cast<long long>(renders), noun).c_str(), options.outputDir.c_str(),
              skipped.c_str());
  if (worst != 0)
    throw ToolError(
        static_cast<ExitStatus>(worst),
        (batch.interruptedBy() != 0 ? "interrupted (" + signalName(batch.interruptedBy()) + "); "
                                    : "") +
            counted(static_cast<long long>(renders - batch.rendered() - batch.skipped()), noun) +
            " not rendered");
}
