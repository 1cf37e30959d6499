// What the LV2 fuzz targets share: one instance of the instrumented LV2
// library, made through its descriptor with the features a host gives (a
// URID map and the options with its nominal block length), its control ports,
// checked blocks of audio, and its state saved and restored through a host's
// store and retrieve callbacks.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <array>
#include <cstdint>
#include <vector>

#include "lv2_host.h"
#include "plugin_harness.h"

// Linked in from the instrumented LV2 library; hosts look it up by this name.
extern "C" const LV2_Descriptor* lv2_descriptor(std::uint32_t index);

constexpr std::uint32_t kFirstInputPort = kParameterCount;
constexpr std::uint32_t kFirstOutputPort = kFirstInputPort + kChannelCount;
constexpr std::uint32_t kTimePort = kFirstOutputPort + kChannelCount;

// One state property as the plugin stores it, or as a host hands it back.
struct StateProperty {
  LV2_URID key = 0;
  LV2_URID type = 0;
  std::uint32_t flags = 0;
  Chunk value;
};

using ControlValues = std::array<float, kParameterCount>;

class Lv2Instance {
 public:
  // A nominal block length of 0 leaves the options feature out.
  explicit Lv2Instance(std::int32_t nominalBlockLength = kBlockSize);
  ~Lv2Instance();
  Lv2Instance(const Lv2Instance&) = delete;
  Lv2Instance& operator=(const Lv2Instance&) = delete;

  LV2_URID urid(const char* uri) { return urids_(uri); }
  // The ports stay connected to these values for the instance's life.
  ControlValues& controls() { return controls_; }
  void connectControls();
  void connectTime(const void* sequence);

  void activate();
  void deactivate();
  // Runs one block of patternInputs and answers its outputs, checked with
  // requireSoundBlock.
  ChannelBuffers<float> run(std::int32_t frames, double amplitude, bool outputsMustBeFinite);

  LV2_State_Status restore(const StateProperty& property);
  // Requires the save to succeed with one property of the chunk's key and
  // type: a 260-byte chunk that starts with the marker.
  StateProperty save();
  LV2_URID chunkKey();
  LV2_URID chunkType() { return urid(LV2_ATOM__Chunk); }

 private:
  UridMap urids_;
  std::int32_t nominalBlockLength_;
  std::array<LV2_Options_Option, 2> options_{};
  std::array<LV2_Feature, 2> features_{};
  std::array<const LV2_Feature*, 3> featureList_{};
  const LV2_Descriptor* descriptor_;
  LV2_Handle handle_ = nullptr;
  ControlValues controls_{};  // every control's default is 0 in its own units
};
