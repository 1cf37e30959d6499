// A plugin library loaded in a child process of its own and asked what a host
// sees of it, so that one that crashes or hangs while it is loaded, opened or
// asked cannot take trimhost down: `trimhost list` and plugin names use it.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

enum class ProbeStatus {
  Loaded,    // the facts are filled in
  Failed,    // it cannot be loaded or started; `reason` says why
  Crashed,   // the child ended by `signal`
  TimedOut,  // no answer within the time limit; the child was killed
};

struct PluginFacts {
  std::string effectName;
  std::string vendor;
  std::int32_t inputs = 0;
  std::int32_t outputs = 0;
  std::int32_t parameters = 0;
  bool doublePrecision = false;  // offers 64-bit processing
};

struct ProbeResult {
  std::string path;
  ProbeStatus status = ProbeStatus::Failed;
  std::string reason;  // unless Loaded, a phrase such as "crashed by signal 11 (SIGSEGV)"
  int signal = 0;      // for Crashed
  double seconds = 0;  // for TimedOut: the time limit it did not answer within
  PluginFacts facts;   // for Loaded
};

constexpr double kDefaultProbeSeconds = 10;

// Forks a child that loads the library with PluginSession (entry point,
// effOpen), reads the facts, closes it and writes them to a pipe as JSON.
// A child that gives no answer within `seconds` is killed with its process
// group; the child is always reaped before this returns, and dies with
// trimhost should trimhost end first.
ProbeResult probePlugin(const std::string& path, double seconds = kDefaultProbeSeconds);

// The result as `trimhost list --json` prints it: path, status ("loaded",
// "failed", "crashed", "timeout"), then the facts or the reason (and signal).
nlohmann::ordered_json probeJson(const ProbeResult& probe);

// The result back from probeJson's form; throws std::exception (nlohmann's,
// or std::invalid_argument) when the JSON is not of that form.
ProbeResult probeFromJson(const nlohmann::json& json);
