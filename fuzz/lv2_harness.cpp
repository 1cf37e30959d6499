#include "lv2_harness.h"

#include <lv2/buf-size/buf-size.h>

#include <algorithm>
#include <memory>
#include <string>

#include "plugin_identity.h"

namespace {

constexpr std::uint32_t kSavedFlags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;

const LV2_State_Interface& stateInterfaceOf(const LV2_Descriptor& descriptor) {
  const auto* state =
      static_cast<const LV2_State_Interface*>(descriptor.extension_data(LV2_STATE__interface));
  require(state != nullptr && state->save != nullptr && state->restore != nullptr,
          "the plugin offers the state interface");
  return *state;
}

LV2_State_Status keepEveryProperty(LV2_State_Handle handle, std::uint32_t key, const void* value,
                                   std::size_t size, std::uint32_t type, std::uint32_t flags) {
  const auto* bytes = static_cast<const std::uint8_t*>(value);
  static_cast<std::vector<StateProperty>*>(handle)->push_back(
      {key, type, flags, Chunk(bytes, bytes + size)});
  return LV2_STATE_SUCCESS;
}

// A property as a host hands it back: its value in an allocation of its own
// exact size, never null, so that reading past it is caught even when it is
// empty.
struct HeldProperty {
  explicit HeldProperty(const StateProperty& held)
      : property(held), value(new std::uint8_t[held.value.size()]) {
    std::copy(held.value.begin(), held.value.end(), value.get());
  }
  const StateProperty& property;
  std::unique_ptr<std::uint8_t[]> value;
};

// Hands back exactly the property held, and nothing under any other key.
const void* retrieveHeldProperty(LV2_State_Handle handle, std::uint32_t key, std::size_t* size,
                                 std::uint32_t* type, std::uint32_t* flags) {
  const auto& held = *static_cast<const HeldProperty*>(handle);
  if (key != held.property.key) return nullptr;
  *size = held.property.value.size();
  *type = held.property.type;
  *flags = held.property.flags;
  return held.value.get();
}

}  // namespace

Lv2Instance::Lv2Instance(std::int32_t nominalBlockLength)
    : nominalBlockLength_(nominalBlockLength), descriptor_(lv2_descriptor(0)) {
  require(descriptor_ != nullptr && lv2_descriptor(1) == nullptr,
          "the library describes one plugin");
  features_[0] = {LV2_URID__map, &urids_.lv2Map};
  featureList_[0] = &features_[0];
  if (nominalBlockLength_ != 0) {
    options_[0] = {LV2_OPTIONS_INSTANCE,
                   0,
                   urid(LV2_BUF_SIZE__nominalBlockLength),
                   sizeof nominalBlockLength_,
                   urid(LV2_ATOM__Int),
                   &nominalBlockLength_};
    features_[1] = {LV2_OPTIONS__options, options_.data()};
    featureList_[1] = &features_[1];
  }
  handle_ = descriptor_->instantiate(descriptor_, kSampleRate, "", featureList_.data());
  require(handle_ != nullptr, "the plugin makes an instance");
}

Lv2Instance::~Lv2Instance() { descriptor_->cleanup(handle_); }

void Lv2Instance::connectControls() {
  for (std::uint32_t port = 0; port < kParameterCount; ++port)
    descriptor_->connect_port(handle_, port, &controls_[port]);
}

void Lv2Instance::connectTime(const void* sequence) {
  descriptor_->connect_port(handle_, kTimePort, const_cast<void*>(sequence));
}

void Lv2Instance::activate() { descriptor_->activate(handle_); }
void Lv2Instance::deactivate() { descriptor_->deactivate(handle_); }

ChannelBuffers<float> Lv2Instance::run(std::int32_t frames, double amplitude,
                                       bool outputsMustBeFinite) {
  ChannelBuffers<float> inputs = patternInputs<float>(frames, amplitude);
  ChannelBuffers<float> outputs(kChannelCount, frames, 0.0f);
  for (std::uint32_t channel = 0; channel < kChannelCount; ++channel) {
    descriptor_->connect_port(handle_, kFirstInputPort + channel, inputs.pointers()[channel]);
    descriptor_->connect_port(handle_, kFirstOutputPort + channel, outputs.pointers()[channel]);
  }
  descriptor_->run(handle_, static_cast<std::uint32_t>(frames));
  requireSoundBlock(inputs, outputs, outputsMustBeFinite);
  return outputs;
}

LV2_State_Status Lv2Instance::restore(const StateProperty& property) {
  HeldProperty held(property);
  return stateInterfaceOf(*descriptor_).restore(handle_, retrieveHeldProperty, &held, 0, nullptr);
}

StateProperty Lv2Instance::save() {
  std::vector<StateProperty> stored;
  require(stateInterfaceOf(*descriptor_).save(handle_, keepEveryProperty, &stored, 0, nullptr) ==
              LV2_STATE_SUCCESS,
          "a save succeeds");
  require(stored.size() == 1, "a save stores one property");
  const StateProperty& saved = stored.front();
  require(saved.key == chunkKey() && saved.type == chunkType() && saved.flags == kSavedFlags,
          "a save stores the chunk under its key, as a portable atom:Chunk");
  require(saved.value.size() == kSavedChunkSize && startsWithMarker(saved.value),
          "a save is 260 bytes that start with the marker");
  return saved;
}

LV2_URID Lv2Instance::chunkKey() {
  return urid((std::string(plugin_identity::kLv2Uri) + "#chunk").c_str());
}
