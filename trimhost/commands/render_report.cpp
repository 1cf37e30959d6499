#include "trimhost/commands/render_report.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "trimhost/cli/json_line.h"
#include "trimhost/cli/tool_error.h"
#include "trimhost/safety/signal_cleanup.h"
#include "trimhost/settings/text_match.h"

namespace {

// JSON has no infinity: an infinite peak is the text "inf", silence null.
nlohmann::ordered_json dbfsArray(const std::vector<double>& peaks) {
  nlohmann::ordered_json levels = nlohmann::ordered_json::array();
  for (double peak : peaks) {
    if (std::isinf(peak)) {
      levels.push_back("inf");
    } else if (peak > 0.0) {
      levels.push_back(std::round(2000.0 * std::log10(peak)) / 100.0);
    } else {
      levels.push_back(nullptr);
    }
  }
  return levels;
}

nlohmann::ordered_json settingsArray(const std::vector<ParameterState>& settings) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const ParameterState& p : settings)
    list.push_back({{"index", p.index},
                    {"name", p.name},
                    {"display", p.display + (p.label.empty() ? "" : " " + p.label)},
                    {"normalised", p.normalised}});
  return list;
}

// A status above 128 is a signal's: the render was interrupted or killed.
const char* statusName(int exitStatus) {
  if (exitStatus == static_cast<int>(ExitStatus::Crashed)) return "crashed";
  if (exitStatus == static_cast<int>(ExitStatus::TimedOut)) return "timed out";
  if (exitStatus <= 128) return "failed";
  return isInterruption(exitStatus - 128) ? "interrupted" : "killed";
}

}  // namespace

double realTimeFactor(const RenderResult& result) {
  if (result.seconds <= 0.0 || result.sampleRate <= 0) return 0.0;
  return static_cast<double>(result.frames) / result.sampleRate / result.seconds;
}

namespace {

// The keys of every finished render.
nlohmann::ordered_json renderFields(const RenderResult& r) {
  return {{"input", r.input},
          {"output", r.output},
          {"status", "ok"},
          {"exit_status", 0},
          {"message", ""},
          {"frames", r.frames},
          {"sample_rate", r.sampleRate},
          {"channels_in", r.peaksIn.size()},
          {"channels_out", r.peaksOut.size()},
          {"peak_dbfs_in", dbfsArray(r.peaksIn)},
          {"peak_dbfs_out", dbfsArray(r.peaksOut)},
          {"nan_samples_in", r.nanSamplesIn},
          {"nan_samples_out", r.nanSamplesOut},
          {"clipped_samples", r.clipped},
          {"latency_frames", r.latency},
          {"latency_compensated", r.latencyCompensated},
          {"tail_frames", r.tailFrames},
          {"settings", settingsArray(r.settings)},
          {"seconds", r.seconds},
          {"realtime_factor", realTimeFactor(r)}};
}

}  // namespace

nlohmann::ordered_json resultJson(const RenderResult& r) {
  nlohmann::ordered_json json = renderFields(r);
  if (r.mergedInputs.empty()) return json;
  json["padded_frames"] = r.paddedFrames;
  return withMergedInputs(json, r.mergedInputs);
}

nlohmann::ordered_json withMergedInputs(const nlohmann::ordered_json& object,
                                        const std::vector<std::string>& merged) {
  if (merged.empty()) return object;
  nlohmann::ordered_json listed;
  for (const auto& [key, value] : object.items()) {
    listed[key] = value;
    if (key == "input") listed["inputs"] = merged;
  }
  return listed;
}

std::string paddingList(const std::vector<std::string>& inputs,
                        const std::vector<std::int64_t>& paddedFrames) {
  std::string list;
  for (std::size_t input = 0; input < paddedFrames.size() && input < inputs.size(); ++input) {
    if (paddedFrames[input] == 0) continue;
    list += (list.empty() ? "" : ", ") + inputs[input] + " (" +
            counted(paddedFrames[input], "frame") + ")";
  }
  return list;
}

nlohmann::ordered_json failureJson(const std::string& input, const std::string& output,
                                   int exitStatus, const std::string& message) {
  return {{"input", input},
          {"output", output},
          {"status", statusName(exitStatus)},
          {"exit_status", exitStatus},
          {"message", message}};
}

JsonOutput::JsonOutput() : savedStdout_(::dup(STDOUT_FILENO)) {
  std::fflush(stdout);
  if (savedStdout_ < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
    throw ToolError(ExitStatus::Failure, "cannot set standard output aside for --json");
  json_ = ::fdopen(savedStdout_, "w");
  if (json_ == nullptr) throw ToolError(ExitStatus::Failure, "cannot write JSON");
}

JsonOutput::~JsonOutput() {
  std::fflush(stdout);
  std::fflush(json_);
  ::dup2(::fileno(json_), STDOUT_FILENO);
  std::fclose(json_);
}

void JsonOutput::print(const nlohmann::ordered_json& object) const {
  const std::string line = jsonLine(object) + "\n";
  std::fwrite(line.data(), 1, line.size(), json_);
  std::fflush(json_);
}
