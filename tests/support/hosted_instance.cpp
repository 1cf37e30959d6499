#include "hosted_instance.h"

namespace {

RecordingHost& withLog(RecordingHost& host, HostLog log) {
  host.keepLog(log == HostLog::kept);
  return host;
}

}  // namespace

HostedInstance::HostedInstance(PluginEntryProc entry, HostLog log)
    : plugin(withLog(host, log), entry) {}

void switchOn(PluginInstance& plugin, std::int32_t blockSize) {
  plugin.dispatch(effOpen);
  plugin.dispatch(effSetSampleRate, 0, 0, nullptr, kSampleRate);
  plugin.dispatch(effSetBlockSize, 0, blockSize);
  plugin.dispatch(effMainsChanged, 0, 1);
}

Chunk saveFrom(PluginInstance& instance, std::int32_t presetFlag) {
  void* data = nullptr;
  const std::intptr_t size = instance.dispatch(effGetChunk, presetFlag, 0, &data);
  if (size <= 0 || data == nullptr) return {};
  const auto* bytes = static_cast<const unsigned char*>(data);
  return Chunk(bytes, bytes + size);
}

std::intptr_t loadInto(PluginInstance& instance, Chunk chunk) {
  return instance.dispatch(effSetChunk, 0, static_cast<std::intptr_t>(chunk.size()), chunk.data());
}
