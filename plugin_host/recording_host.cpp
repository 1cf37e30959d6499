#include "plugin_host/recording_host.h"

#include <iterator>
#include <map>
#include <mutex>

#include "plugin_host/plugin_call.h"

namespace {

// The call in progress on this thread: its host, and the record it calls
// (null while an entry point makes a record: the version query comes before
// any record exists).
thread_local RecordingHost* hostInCall = nullptr;
thread_local AEffect* effectInCall = nullptr;

// Every thread's instances and their hosts, for callbacks outside any call
// marked on their thread (in-process tests call the record directly).
struct Registry {
  std::mutex mutex;
  std::map<AEffect*, RecordingHost*> hosts;
};

Registry& registry() {
  static Registry instances;
  return instances;
}

RecordingHost* hostFor(AEffect* effect) {
  if (hostInCall != nullptr && (effectInCall == nullptr || effectInCall == effect)) {
    return hostInCall;
  }
  Registry& instances = registry();
  const std::lock_guard<std::mutex> lock(instances.mutex);
  const auto found = instances.hosts.find(effect);
  return found != instances.hosts.end() ? found->second : nullptr;
}

}  // namespace

bool operator==(const HostCall& a, const HostCall& b) {
  return a.effect == b.effect && a.opcode == b.opcode && a.index == b.index && a.value == b.value &&
         a.ptr == b.ptr && a.opt == b.opt;
}

std::ostream& operator<<(std::ostream& out, const HostCall& call) {
  return out << "{effect " << static_cast<const void*>(call.effect) << ", opcode " << call.opcode
             << ", index " << call.index << ", value 0x" << std::hex << call.value << std::dec
             << ", ptr " << call.ptr << ", opt " << call.opt << "}";
}

RecordingHost::~RecordingHost() {
  Registry& instances = registry();
  const std::lock_guard<std::mutex> lock(instances.mutex);
  for (auto entry = instances.hosts.begin(); entry != instances.hosts.end();) {
    entry = entry->second == this ? instances.hosts.erase(entry) : std::next(entry);
  }
}

AEffect* RecordingHost::createInstance(const InstanceMaker& make) {
  AEffect* effect = [&] {
    const CallScope creating(*this, nullptr);
    const PluginCallScope call("entry point");
    return make(&RecordingHost::callback);
  }();
  if (effect != nullptr) {
    Registry& instances = registry();
    const std::lock_guard<std::mutex> lock(instances.mutex);
    instances.hosts[effect] = this;
  }
  return effect;
}

void RecordingHost::forgetInstance(AEffect* effect) {
  Registry& instances = registry();
  const std::lock_guard<std::mutex> lock(instances.mutex);
  instances.hosts.erase(effect);
}

RecordingHost::CallScope::CallScope(RecordingHost& host, AEffect* effect)
    : outerHost_(hostInCall), outerEffect_(effectInCall) {
  hostInCall = &host;
  effectInCall = effect;
}

RecordingHost::CallScope::~CallScope() {
  hostInCall = outerHost_;
  effectInCall = outerEffect_;
}

std::vector<std::int32_t> RecordingHost::opcodes() const {
  std::vector<std::int32_t> opcodes;
  for (const HostCall& call : calls_) opcodes.push_back(call.opcode);
  return opcodes;
}

std::vector<std::intptr_t> RecordingHost::timeRequestMasks() const {
  std::vector<std::intptr_t> masks;
  for (const HostCall& call : calls_) {
    if (call.opcode == audioMasterGetTime) masks.push_back(call.value);
  }
  return masks;
}

std::intptr_t VST_CALL RecordingHost::callback(AEffect* effect, std::int32_t opcode,
                                               std::int32_t index, std::intptr_t value, void* ptr,
                                               float opt) {
  RecordingHost* host = hostFor(effect);
  if (host == nullptr) {
    return 0;  // a record no live host created: nobody to log it
  }
  const HostCall call{effect, opcode, index, value, ptr, opt};
  if (host->keepLog_) host->calls_.push_back(call);
  return host->answer(call);
}

std::intptr_t RecordingHost::answer(const HostCall& call) {
  switch (call.opcode) {
    case audioMasterVersion:
      return versionAnswer_;
    case audioMasterGetTime:
      return timeInfoProvided_ ? reinterpret_cast<std::intptr_t>(&timeInfo_) : 0;
    default:
      return 0;
  }
}
