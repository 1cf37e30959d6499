#include "trimhost/plugin/plugin_probe.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <vector>

#include "trimhost/cli/number_options.h"
#include "trimhost/plugin/plugin_session.h"
#include "trimhost/safety/child_process.h"
#include "trimhost/safety/signal_cleanup.h"

namespace {

using Clock = ChildProcess::Clock;

const std::pair<ProbeStatus, const char*> kStatusNames[] = {
    {ProbeStatus::Loaded, "loaded"},
    {ProbeStatus::Failed, "failed"},
    {ProbeStatus::Crashed, "crashed"},
    {ProbeStatus::TimedOut, "timeout"},
};

const char* statusName(ProbeStatus status) {
  for (const auto& [named, name] : kStatusNames)
    if (named == status) return name;
  return "failed";
}

ProbeStatus statusNamed(const std::string& name) {
  for (const auto& [status, statusName] : kStatusNames)
    if (name == statusName) return status;
  throw std::invalid_argument("no probe status '" + name + "'");
}

// The child's facts as JSON; a failure to load as {"error": why}.
std::string childAnswer(const std::string& path) {
  nlohmann::json answer;
  try {
    PluginSession session(path);
    const AEffect& record = session.record();
    answer = {{"effectName", session.text(effGetEffectName)},
              {"vendor", session.text(effGetVendorString)},
              {"inputs", record.numInputs},
              {"outputs", record.numOutputs},
              {"parameters", record.numParams},
              {"doublePrecision", session.hasFlag(effFlagsCanDoubleReplacing)}};
  } catch (const std::exception& error) {
    answer = {{"error", error.what()}};
  }
  // Plugins' texts need not be UTF-8; invalid bytes become U+FFFD.
  return answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

[[noreturn]] void runChild(const std::string& path, int answerPipe, pid_t parent) {
  // Killed when trimhost ends, however trimhost ends.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  // trimhost's handlers would report a crash as trimhost's and remove
  // trimhost's files: a crash here must end the child by its signal.
  restoreDefaultSignalActions();
  // Whatever the plugin prints stays out of trimhost's output.
  if (const int nothing = open("/dev/null", O_RDWR); nothing >= 0) {
    dup2(nothing, STDIN_FILENO);
    dup2(nothing, STDOUT_FILENO);
    dup2(nothing, STDERR_FILENO);
  }
  const std::string answer = childAnswer(path);
  for (std::size_t written = 0; written < answer.size();) {
    const ssize_t count = write(answerPipe, answer.data() + written, answer.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) _exit(1);
    written += static_cast<std::size_t>(count);
  }
  _exit(0);
}

void readFacts(const std::string& answer, ProbeResult& result) {
  const nlohmann::json facts = nlohmann::json::parse(answer, nullptr, false);
  if (!facts.is_object()) {
    result.reason = "gave no answer while it was loaded";
    return;
  }
  if (facts.contains("error")) {
    result.reason = facts.value("error", "");
    return;
  }
  result.status = ProbeStatus::Loaded;
  result.facts.effectName = facts.value("effectName", "");
  result.facts.vendor = facts.value("vendor", "");
  result.facts.inputs = facts.value("inputs", 0);
  result.facts.outputs = facts.value("outputs", 0);
  result.facts.parameters = facts.value("parameters", 0);
  result.facts.doublePrecision = facts.value("doublePrecision", false);
}

}  // namespace

ProbeResult probePlugin(const std::string& path, double seconds) {
  ProbeResult result;
  result.path = path;
  const pid_t parent = getpid();
  std::optional<ChildProcess> child;
  try {
    // Its own process group, so that whatever it starts is stopped with it.
    child.emplace(1, true, [&path, parent](const std::vector<int>& pipes) {
      runChild(path, pipes[0], parent);
    });
  } catch (const ChildNotStarted& error) {
    result.reason =
        std::string(error.missing == ChildNotStarted::Missing::Pipe ? "cannot make a pipe: "
                                                                    : "cannot start a process: ") +
        std::strerror(error.error);
    return result;
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                        std::chrono::duration<double>(seconds));
  const bool answered = child->readAllBefore(deadline);
  const std::string& answer = child->received(0);
  std::optional<int> ended;
  if (answered) ended = child->reapBefore(deadline);
  if (!ended) {
    child->signal(SIGKILL);
    child->reap();
    result.status = ProbeStatus::TimedOut;
    result.seconds = seconds;
    result.reason = "no answer within " + numberText(seconds) + " s, stopped";
    return result;
  }
  const int waitStatus = *ended;
  if (WIFSIGNALED(waitStatus)) {
    result.status = ProbeStatus::Crashed;
    result.signal = WTERMSIG(waitStatus);
    result.reason = "crashed by " + signalPhrase(result.signal);
    return result;
  }
  if (WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) != 0 && answer.empty()) {
    result.reason =
        "ended with status " + std::to_string(WEXITSTATUS(waitStatus)) + " while it was loaded";
    return result;
  }
  readFacts(answer, result);
  return result;
}

nlohmann::ordered_json probeJson(const ProbeResult& probe) {
  nlohmann::ordered_json json = {{"path", probe.path}, {"status", statusName(probe.status)}};
  if (probe.status != ProbeStatus::Loaded) {
    json["reason"] = probe.reason;
    if (probe.status == ProbeStatus::Crashed) json["signal"] = probe.signal;
    return json;
  }
  const PluginFacts& facts = probe.facts;
  json["effect_name"] = facts.effectName;
  json["vendor"] = facts.vendor;
  json["inputs"] = facts.inputs;
  json["outputs"] = facts.outputs;
  json["parameters"] = facts.parameters;
  json["double_precision"] = facts.doublePrecision;
  return json;
}

ProbeResult probeFromJson(const nlohmann::json& json) {
  ProbeResult probe;
  probe.path = json.at("path").get<std::string>();
  probe.status = statusNamed(json.at("status").get<std::string>());
  if (probe.status != ProbeStatus::Loaded) {
    probe.reason = json.at("reason").get<std::string>();
    if (probe.status == ProbeStatus::Crashed) probe.signal = json.at("signal").get<int>();
    return probe;
  }
  PluginFacts& facts = probe.facts;
  facts.effectName = json.at("effect_name").get<std::string>();
  facts.vendor = json.at("vendor").get<std::string>();
  facts.inputs = json.at("inputs").get<std::int32_t>();
  facts.outputs = json.at("outputs").get<std::int32_t>();
  facts.parameters = json.at("parameters").get<std::int32_t>();
  facts.doublePrecision = json.at("double_precision").get<bool>();
  return probe;
}
