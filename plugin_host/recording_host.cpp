#include "plugin_host/recording_host.h"

#include <iterator>
#include <map>

#include "plugin_host/plugin_call.h"

namespace {

// The version query comes before any record exists, so the callback finds the
// host through this pointer while an entry point runs; afterwards the record
// leads to its host.
thread_local RecordingHost* hostCreatingInstance = nullptr;

std::map<AEffect*, RecordingHost*>& hostsByInstance() {
  static std::map<AEffect*, RecordingHost*> hosts;
  return hosts;
}

RecordingHost* hostFor(AEffect* effect) {
  const auto& hosts = hostsByInstance();
  const auto found = hosts.find(effect);
  return found != hosts.end() ? found->second : hostCreatingInstance;
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
  auto& hosts = hostsByInstance();
  for (auto entry = hosts.begin(); entry != hosts.end();) {
    entry = entry->second == this ? hosts.erase(entry) : std::next(entry);
  }
}

AEffect* RecordingHost::createInstance(const InstanceMaker& make) {
  hostCreatingInstance = this;
  AEffect* effect = [&make] {
    const PluginCallScope call("entry point");
    return make(&RecordingHost::callback);
  }();
  hostCreatingInstance = nullptr;
  if (effect != nullptr) {
    hostsByInstance()[effect] = this;
  }
  return effect;
}

void RecordingHost::forgetInstance(AEffect* effect) { hostsByInstance().erase(effect); }

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
