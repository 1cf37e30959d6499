#include "trimhost/commands/batch.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "trimhost/audio/peak_meter.h"
#include "trimhost/cli/tool_error.h"
#include "trimhost/commands/render_report.h"
#include "trimhost/safety/render_child.h"
#include "trimhost/safety/signal_cleanup.h"
#include "trimhost/settings/text_match.h"

namespace {

// A render of the batch, by a child process.
struct Running {
  std::size_t file;
  std::unique_ptr<RenderChild> child;
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

std::string outcomeLine(const ChildOutcome& outcome) {
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
        start(*next);
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
  void start(std::size_t file) {
    RenderOptions render = options_.render;
    render.input = groups_[file].front();
    render.merged = mergedInputs(options_, groups_[file]);
    render.output = outputs_[file];
    running_.push_back({file, std::make_unique<RenderChild>(render, ChildStreams::Collected)});
  }

  void waitForChildren() {
    std::vector<RenderChild*> children;
    for (const Running& running : running_) children.push_back(running.child.get());
    watchChildren(children);
    const auto finished = std::stable_partition(running_.begin(), running_.end(),
                                                [](const Running& r) { return !r.child->ended(); });
    for (auto running = finished; running != running_.end(); ++running) finish(*running);
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

  void finish(Running& running) {
    const ChildOutcome outcome = running.child->finish();
    ++done_;
    passOnWarnings(running.child->errors());
    // A render the batch stopped did not fail of its own: the batch's status
    // is that of the failure that stopped it, whatever --jobs is, or the
    // interruption's. An interruption from the terminal reaches the renders
    // too.
    if (!stopReason_.empty() &&
        (outcome.exitStatus == 128 + SIGTERM ||
         (interruptedBy_ != 0 && outcome.exitStatus == 128 + interruptedBy_))) {
      reportLeftOut(running.file, "not rendered", stopReason_);
      return;
    }
    report(running.file, outcome, true);
    if (outcome.exitStatus != 0 && options_.failFast && stopReason_.empty())
      stopOthers("stopped after " + joinedInputs(groups_[running.file]) + " failed");
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
  void report(std::size_t file, ChildOutcome outcome, bool counts) {
    outcome.json = withMergedInputs(outcome.json, mergedInputs(options_, groups_[file]));
    progress_.clear();
    std::printf("%s\n", outcomeLine(outcome).c_str());
    std::fflush(stdout);
    if (json_) json_->print(outcome.json);
    if (counts) worst_ = std::max(worst_, outcome.exitStatus);
    if (counts && outcome.exitStatus == 0) ++rendered_;
  }

  // The renders still running end as on an interruption: each removes its
  // unfinished output.
  void stopOthers(const std::string& reason) {
    stopReason_ = reason;
    for (const Running& running : running_) running.child->stop(SIGTERM);
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
  std::vector<Running> running_;
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
