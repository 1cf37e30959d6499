// A host that answers the plugin's callback as a real host would and keeps a
// log of every call it received.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "aeffect.h"
#include "host_time_info.h"
#include "plugin_library.h"

struct HostCall {
  AEffect* effect;
  std::int32_t opcode;
  std::int32_t index;
  std::intptr_t value;
  void* ptr;
  float opt;
};

bool operator==(const HostCall& a, const HostCall& b);
std::ostream& operator<<(std::ostream& out, const HostCall& call);

class RecordingHost {
 public:
  RecordingHost() = default;
  ~RecordingHost();

  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  // Calls the entry point with this host's callback; null when the plugin made
  // no instance. Later calls carrying the returned record reach this host.
  AEffect* createInstance(PluginEntryProc entry);

  // After effClose the record is gone and its address may be reused.
  void forgetInstance(AEffect* effect);

  void answerVersionWith(std::intptr_t version) { versionAnswer_ = version; }
  void provideTimeInfo(bool provided) { timeInfoProvided_ = provided; }
  HostTimeInfo& timeInfo() { return timeInfo_; }

  const std::vector<HostCall>& calls() const { return calls_; }
  void clearCalls() { calls_.clear(); }
  // Long runs (renders, benchmarks) need the answers but not the log.
  void keepLog(bool keep) { keepLog_ = keep; }

 private:
  static std::intptr_t VST_CALL callback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                         std::intptr_t value, void* ptr, float opt);
  std::intptr_t answer(const HostCall& call);

  std::intptr_t versionAnswer_ = kVstVersion;
  bool timeInfoProvided_ = true;
  HostTimeInfo timeInfo_;
  std::vector<HostCall> calls_;
  bool keepLog_ = true;
};
