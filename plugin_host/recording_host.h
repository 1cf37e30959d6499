// A host that answers the plugin's callback as a real host would and keeps a
// log of every call it received. Programs load plugins through entry points;
// in-process tests build instances their own way and hand them this host's
// callback.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

#include "aeffect.h"
#include "plugin_host/host_time_info.h"

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

// Makes an instance that calls back through the given callback, such as a
// plugin's entry point; answers its record, or null when it made none.
using InstanceMaker = std::function<AEffect*(audioMasterCallback)>;

class RecordingHost {
 public:
  RecordingHost() = default;
  ~RecordingHost();

  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  // Runs make with this host's callback. Calls made meanwhile, and later
  // calls carrying the record it answers, reach this host.
  AEffect* createInstance(const InstanceMaker& make);

  // After effClose the record is gone and its address may be reused.
  void forgetInstance(AEffect* effect);

  // Marks a call into this host's instance on this thread for as long as it
  // lives: the plugin's callbacks meanwhile reach this host without a look at
  // the instances every thread shares, so instances called on several threads
  // at once neither race for that list nor wait for each other.
  class CallScope {
   public:
    CallScope(RecordingHost& host, AEffect* effect);
    ~CallScope();

    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

   private:
    RecordingHost* outerHost_;
    AEffect* outerEffect_;
  };

  void answerVersionWith(std::intptr_t version) { versionAnswer_ = version; }
  void provideTimeInfo(bool provided) { timeInfoProvided_ = provided; }
  HostTimeInfo& timeInfo() { return timeInfo_; }

  const std::vector<HostCall>& calls() const { return calls_; }
  void clearCalls() { calls_.clear(); }
  // Long runs (renders, benchmarks) need the answers but not the log.
  void keepLog(bool keep) { keepLog_ = keep; }

  // The opcodes of the logged calls, and the masks of the time requests
  // among them, in order.
  std::vector<std::int32_t> opcodes() const;
  std::vector<std::intptr_t> timeRequestMasks() const;

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
