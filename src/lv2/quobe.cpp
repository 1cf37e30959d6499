#include "lv2/quobe.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace {

// What a VST 2.x host reports before it sets a block size.
constexpr std::int32_t kFallbackBlockSize = 1024;

const void* findFeature(const LV2_Feature* const* features, const char* uri) {
  if (features == nullptr) return nullptr;
  for (; *features != nullptr; ++features) {
    if (std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
  }
  return nullptr;
}

const LV2_URID_Map* mapOf(const LV2_Feature* const* features) {
  return static_cast<const LV2_URID_Map*>(findFeature(features, LV2_URID__map));
}

// The host's nominal block length, or its largest one when it names no
// nominal length; the fallback when it gives neither.
std::int32_t blockSizeOf(const LV2_Feature* const* features, const LV2_URID_Map* map) {
  const auto* options =
      static_cast<const LV2_Options_Option*>(findFeature(features, LV2_OPTIONS__options));
  if (options == nullptr || map == nullptr) return kFallbackBlockSize;
  const LV2_URID nominal = map->map(map->handle, LV2_BUF_SIZE__nominalBlockLength);
  const LV2_URID maximum = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID intType = map->map(map->handle, LV2_ATOM__Int);
  std::int32_t found = 0;
  for (; options->key != 0; ++options) {
    if (options->type != intType || options->value == nullptr) continue;
    const auto value = *static_cast<const std::int32_t*>(options->value);
    if (options->key == nominal && value > 0) return value;
    if (options->key == maximum && value > 0) found = value;
  }
  return found > 0 ? found : kFallbackBlockSize;
}

// Ports are numbered across the groups in order: an index past this group
// becomes an index into the next one.
template <typename Port>
bool connectWithin(std::vector<Port>& ports, std::size_t& index, void* data) {
  if (index >= ports.size()) {
    index -= ports.size();
    return false;
  }
  ports[index] = static_cast<Port>(data);
  return true;
}

LV2_URID mapped(const LV2_URID_Map* map, const std::string& uri) {
  return map != nullptr ? map->map(map->handle, uri.c_str()) : 0;
}

}  // namespace

CQuobe* shellCreate(void* effect, const EffectCallbacks& callbacks, const HostSetup& host,
                    std::vector<ControlRange> controls) {
  return new (std::nothrow) CQuobe(effect, callbacks, host, std::move(controls));
}

CQuobe::CQuobe(void* effect, const EffectCallbacks& callbacks, const HostSetup& host,
               std::vector<ControlRange> controls)
    : CQuobe(effect, callbacks, host, mapOf(host.features), std::move(controls)) {}

CQuobe::CQuobe(void* effect, const EffectCallbacks& callbacks, const HostSetup& host,
               const LV2_URID_Map* map, std::vector<ControlRange> controls)
    : effect_(effect),
      callbacks_(callbacks),
      sampleRate_(host.sampleRate),
      blockSize_(blockSizeOf(host.features, map)),
      stateKey_(mapped(map, host.pluginUri + "#chunk")),
      chunkType_(mapped(map, LV2_ATOM__Chunk)),
      time_(map),
      controls_(std::move(controls)),
      controlPorts_(controls_.size(), nullptr) {
  callEvent(callbacks_.onCreate);
  for (const ControlRange& control : controls_)
    sentControls_.push_back(static_cast<float>(control.defaultValue));
  inputs_.assign(static_cast<std::size_t>(numInputs_), nullptr);
  outputs_.assign(static_cast<std::size_t>(numOutputs_), nullptr);
}

CQuobe::~CQuobe() { callEvent(callbacks_.onDestroy); }

void CQuobe::callEvent(EffectCallbacks::Event slot) {
  if (slot != nullptr) slot(this);
}

void CQuobe::open() { callEvent(callbacks_.onOpen); }
void CQuobe::activate() { callEvent(callbacks_.onResume); }
void CQuobe::deactivate() { callEvent(callbacks_.onSuspend); }
void CQuobe::close() { callEvent(callbacks_.onClose); }

void CQuobe::connectPort(std::uint32_t port, void* data) {
  std::size_t index = port;
  if (connectWithin(controlPorts_, index, data) || connectWithin(inputs_, index, data) ||
      connectWithin(outputs_, index, data))
    return;
  if (index == 0) timeEvents_ = static_cast<const LV2_Atom_Sequence*>(data);
}

void CQuobe::run(std::uint32_t frames) {
  time_.receive(timeEvents_);
  sendControlChanges();
  if (callbacks_.processReplacing != nullptr && audioConnected())
    callbacks_.processReplacing(this, inputs_.data(), outputs_.data(),
                                static_cast<std::int32_t>(frames));
  time_.advance(frames, sampleRate_);
}

void CQuobe::sendControlChanges() {
  if (callbacks_.setParameter == nullptr) return;
  for (std::size_t index = 0; index < controlPorts_.size(); ++index) {
    if (controlPorts_[index] == nullptr) continue;
    const float value = *controlPorts_[index];
    // A port holding no number has not been moved anywhere. A value not yet
    // sent (NaN, after a restore) never equals the port's.
    if (std::isnan(value) || value == sentControls_[index]) continue;
    sentControls_[index] = value;
    // Hosts may pass values outside the declared range (lv2apply takes any
    // number); a level of +50 dB or a mute of 7 must not reach the mix.
    const ControlRange& range = controls_[index];
    const double bounded = std::clamp<double>(value, range.minimum, range.maximum);
    // Normalised to a float, as a VST 2.x host passes it: a value halfway
    // between two steps then quantises to the same step in both editions.
    const auto normalised =
        static_cast<float>((bounded - range.minimum) / (range.maximum - range.minimum));
    callbacks_.setParameter(this, static_cast<std::int32_t>(index), normalised);
  }
}

bool CQuobe::audioConnected() const {
  for (const float* channel : inputs_)
    if (channel == nullptr) return false;
  for (const float* channel : outputs_)
    if (channel == nullptr) return false;
  return true;
}

LV2_State_Status CQuobe::saveState(LV2_State_Store_Function store, LV2_State_Handle handle) {
  if (stateKey_ == 0 || chunkType_ == 0) return LV2_STATE_ERR_NO_FEATURE;
  if (callbacks_.getChunk == nullptr) return LV2_STATE_SUCCESS;
  // A host may save before it has run the instance (Ardour saves a new
  // session at once): the ports it has set by then belong in the state.
  sendControlChanges();
  void* data = nullptr;
  const std::int32_t size = callbacks_.getChunk(this, &data, 0);
  if (size <= 0 || data == nullptr) return LV2_STATE_SUCCESS;
  return store(handle, stateKey_, data, static_cast<std::size_t>(size), chunkType_,
               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status CQuobe::restoreState(LV2_State_Retrieve_Function retrieve,
                                      LV2_State_Handle handle) {
  if (stateKey_ == 0 || chunkType_ == 0) return LV2_STATE_ERR_NO_FEATURE;
  std::size_t size = 0;
  std::uint32_t type = 0;
  std::uint32_t flags = 0;
  const void* data = retrieve(handle, stateKey_, &size, &type, &flags);
  if (data == nullptr) return LV2_STATE_ERR_NO_PROPERTY;
  if (type != chunkType_) return LV2_STATE_ERR_BAD_TYPE;
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    return LV2_STATE_ERR_UNKNOWN;
  // The runtime copies the bytes before it reads them; they stay the host's.
  if (callbacks_.setChunk != nullptr)
    callbacks_.setChunk(this, const_cast<void*>(data), static_cast<std::int32_t>(size), 0);
  // The ports win: the control ports are the host's, and a host shows their
  // values, so the next block applies each one again over what the chunk
  // set. The chunk keeps all that no port carries.
  std::fill(sentControls_.begin(), sentControls_.end(), std::numeric_limits<float>::quiet_NaN());
  return LV2_STATE_SUCCESS;
}
