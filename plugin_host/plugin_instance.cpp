#include "plugin_host/plugin_instance.h"

#include <stdexcept>

#include "plugin_host/plugin_call.h"

namespace {

// A call into the instance: named for a host's crash report, and tied to the
// host that its callbacks reach.
struct InstanceCall {
  InstanceCall(RecordingHost& host, AEffect* effect, const char* function, std::int32_t opcode = -1)
      : named(function, opcode), hosted(host, effect) {}

  PluginCallScope named;
  RecordingHost::CallScope hosted;
};

}  // namespace

PluginInstance::PluginInstance(RecordingHost& host, PluginEntryProc entry)
    : host_(host), effect_(host.createInstance(entry)) {
  if (effect_ == nullptr) {
    throw std::runtime_error("the plugin made no instance");
  }
  // Without the magic the record may be anything: no dispatcher is called,
  // not even to close it.
  if (effect_->magic != kEffectMagic) {
    host.forgetInstance(effect_);
    throw std::runtime_error("the plugin's record does not start with the magic 'VstP'");
  }
}

PluginInstance::~PluginInstance() {
  if (effect_ != nullptr) {
    close();
  }
}

std::intptr_t PluginInstance::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                       void* ptr, float opt) {
  const InstanceCall call(host_, effect_, "dispatcher", opcode);
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::intptr_t PluginInstance::close() {
  const std::intptr_t answer = dispatch(effClose);
  host_.forgetInstance(effect_);
  effect_ = nullptr;
  return answer;
}

TextReply PluginInstance::readText(std::int32_t opcode, std::size_t limit, std::int32_t index) {
  TextReply reply(limit);
  reply.answer = dispatch(opcode, index, 0, reply.buffer());
  return reply;
}

float PluginInstance::getParameter(std::int32_t index) {
  const InstanceCall call(host_, effect_, "getParameter");
  return effect_->getParameter(effect_, index);
}

void PluginInstance::setParameter(std::int32_t index, float value) {
  const InstanceCall call(host_, effect_, "setParameter");
  effect_->setParameter(effect_, index, value);
}

void PluginInstance::process(ChannelBuffers<float>& inputs, ChannelBuffers<float>& outputs) {
  const InstanceCall call(host_, effect_, "processReplacing");
  effect_->processReplacing(effect_, inputs.pointers(), outputs.pointers(), inputs.frames());
}

void PluginInstance::process(ChannelBuffers<double>& inputs, ChannelBuffers<double>& outputs) {
  const InstanceCall call(host_, effect_, "processDoubleReplacing");
  effect_->processDoubleReplacing(effect_, inputs.pointers(), outputs.pointers(), inputs.frames());
}

void PluginInstance::processAccumulating(ChannelBuffers<float>& inputs,
                                         ChannelBuffers<float>& outputs) {
  const InstanceCall call(host_, effect_, "process");
  effect_->process(effect_, inputs.pointers(), outputs.pointers(), inputs.frames());
}
