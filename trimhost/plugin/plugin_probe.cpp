#include "trimhost/plugin/plugin_probe.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "trimhost/cli/number_options.h"
#include "trimhost/plugin/plugin_session.h"
#include "trimhost/safety/signal_cleanup.h"

namespace {

using Clock = std::chrono::steady_clock;

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
  // Its own process group, so that whatever it starts is stopped with it;
  // killed when trimhost ends, however trimhost ends.
  setpgid(0, 0);
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

// Reads the child's answer until it closes the pipe or the deadline passes;
// false when the deadline passed first.
bool readAnswer(int answerPipe, Clock::time_point deadline, std::string& answer) {
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd wanted{answerPipe, POLLIN, 0};
    const int ready = poll(&wanted, 1, static_cast<int>(std::min<long long>(left, 1000)));
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    const ssize_t count = read(answerPipe, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return true;
    answer.append(buffer, static_cast<std::size_t>(count));
  }
}

// Waits for the child until the deadline; false when it is still running then.
bool waitUntil(pid_t child, Clock::time_point deadline, int& waitStatus) {
  for (;;) {
    const pid_t ended = waitpid(child, &waitStatus, WNOHANG);
    if (ended == child) return true;
    if (ended < 0 && errno != EINTR) return true;  // not ours to wait for any more
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void stopAndReap(pid_t child, int& waitStatus) {
  kill(-child, SIGKILL);
  kill(child, SIGKILL);
  while (waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) {
  }
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
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
    result.reason = std::string("cannot make a pipe: ") + std::strerror(errno);
    return result;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    runChild(path, pipeEnds[1], parent);
  }
  close(pipeEnds[1]);
  if (child < 0) {
    close(pipeEnds[0]);
    result.reason = std::string("cannot start a process: ") + std::strerror(errno);
    return result;
  }
  setpgid(child, child);  // as the child does, whichever comes first

  const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                        std::chrono::duration<double>(seconds));
  std::string answer;
  int waitStatus = 0;
  const bool answered = readAnswer(pipeEnds[0], deadline, answer);
  close(pipeEnds[0]);
  if (!answered || !waitUntil(child, deadline, waitStatus)) {
    stopAndReap(child, waitStatus);
    result.status = ProbeStatus::TimedOut;
    result.seconds = seconds;
    result.reason = "no answer within " + numberText(seconds) + " s, stopped";
    return result;
  }
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
