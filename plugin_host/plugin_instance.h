// One plugin instance, driven only through its record as a host drives it,
// and closed when it goes out of scope.
#pragma once

#include <cstddef>
#include <cstdint>

#include "aeffect.h"
#include "plugin_host/channel_buffers.h"
#include "plugin_host/plugin_library.h"
#include "plugin_host/recording_host.h"
#include "plugin_host/text_reply.h"

class PluginInstance {
 public:
  // Throws std::runtime_error when the entry point makes no instance or one
  // whose record lacks the magic.
  PluginInstance(RecordingHost& host, PluginEntryProc entry);
  ~PluginInstance();

  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  AEffect& record() { return *effect_; }

  std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                         void* ptr = nullptr, float opt = 0.0f);

  // Sends effClose; the record is gone afterwards.
  std::intptr_t close();

  // Lets a text opcode write into a buffer of the given limit.
  TextReply readText(std::int32_t opcode, std::size_t limit, std::int32_t index = 0);

  float getParameter(std::int32_t index);
  void setParameter(std::int32_t index, float value);

  // Both buffers may be the same object, for in-place processing.
  void process(ChannelBuffers<float>& inputs, ChannelBuffers<float>& outputs);
  void process(ChannelBuffers<double>& inputs, ChannelBuffers<double>& outputs);
  void processAccumulating(ChannelBuffers<float>& inputs, ChannelBuffers<float>& outputs);

 private:
  RecordingHost& host_;
  AEffect* effect_;
};
