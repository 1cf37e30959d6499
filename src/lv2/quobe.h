// CQuobe of the LV2 edition: the shell object an LV2 host instantiates. Like
// the VST 2.x shell it forwards what the host does to the runtime through its
// own copy of the effect-callback table, and the shell services read the
// host's sample rate, block size and musical time from it. An instance has
// one control input port per runtime control, the effect's audio inputs and
// outputs, and a time port, in that order of port indices.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lv2/time_position.h"
#include "seam/effect_callbacks.h"

// What the host gives an instance: its sample rate and features, and the URI
// the plugin's state property is named under.
struct HostSetup {
  double sampleRate;
  const LV2_Feature* const* features;
  std::string pluginUri;
};

// A control port holds the control's value in its own units (dB, 0 or 1);
// the runtime takes it normalised over the control's range.
struct ControlRange {
  double minimum;
  double maximum;
  double defaultValue;
};

class CQuobe {
 public:
  CQuobe(void* effect, const EffectCallbacks& callbacks, const HostSetup& host,
         std::vector<ControlRange> controls);
  ~CQuobe();
  CQuobe(const CQuobe&) = delete;
  CQuobe& operator=(const CQuobe&) = delete;

  void* effect() const { return effect_; }
  std::int32_t numInputs() const { return numInputs_; }
  void setNumInputs(std::int32_t count) { numInputs_ = count; }
  std::int32_t numOutputs() const { return numOutputs_; }
  void setNumOutputs(std::int32_t count) { numOutputs_ = count; }
  double sampleRate() const { return sampleRate_; }
  std::int32_t blockSize() const { return blockSize_; }
  const TimePosition& time() const { return time_; }

  // The host's instance operations, in the order a host makes them.
  void open();
  void connectPort(std::uint32_t port, void* data);
  void activate();
  void run(std::uint32_t frames);
  void deactivate();
  void close();

  // The state extension: the runtime's chunk as one property.
  LV2_State_Status saveState(LV2_State_Store_Function store, LV2_State_Handle handle);
  LV2_State_Status restoreState(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

 private:
  // The host's URID map (null when it gives none), found once for all that
  // needs it.
  CQuobe(void* effect, const EffectCallbacks& callbacks, const HostSetup& host,
         const LV2_URID_Map* map, std::vector<ControlRange> controls);
  void callEvent(EffectCallbacks::Event slot);
  void sendControlChanges();
  bool audioConnected() const;

  void* effect_;
  EffectCallbacks callbacks_;
  double sampleRate_;
  std::int32_t blockSize_;
  std::int32_t numInputs_ = 0;
  std::int32_t numOutputs_ = 0;
  LV2_URID stateKey_ = 0;
  LV2_URID chunkType_ = 0;
  TimePosition time_;
  std::vector<ControlRange> controls_;
  std::vector<const float*> controlPorts_;
  // The value each control port had when the runtime last heard of it: the
  // defaults, where a host starts its ports, until a port moves; none (NaN)
  // after a state restore, so that the next run applies every port again.
  std::vector<float> sentControls_;
  std::vector<float*> inputs_;
  std::vector<float*> outputs_;
  const LV2_Atom_Sequence* timeEvents_ = nullptr;
};

// The instance for `effect`, or null when there is no memory for it.
// onCreate runs in here, as in the VST 2.x shell.
CQuobe* shellCreate(void* effect, const EffectCallbacks& callbacks, const HostSetup& host,
                    std::vector<ControlRange> controls);
