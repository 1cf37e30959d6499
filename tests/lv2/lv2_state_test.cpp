// The LV2 edition through lilv, held to the VST 2.x edition of the same build
// (the library named on the command line): its state property is the VST
// edition's chunk, a restored state sounds as the VST edition does with that
// chunk, and the bundle describes each control as the effect defines it. The
// bundle is the folder TRIMIXER_LV2_BUNDLE_DIR names.

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/units/units.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "downmixer_view.h"
#include "effect/tovra_effect.h"
#include "lv2_host.h"
#include "mix_expectations.h"
#include "plugin_host/preset_file.h"
#include "plugin_under_test.h"

namespace {

constexpr std::int32_t kFrames = 256;
constexpr std::uint32_t kFirstInputPort = kParameterCount;
constexpr std::uint32_t kFirstOutputPort = kFirstInputPort + kChannelCount;
const std::string kChunkKey = std::string(plugin_identity::kLv2Uri) + "#chunk";

// Control values in the controls' own units, as the ports take them.
using Settings = std::array<float, kParameterCount>;

struct SettingsRow {
  const char* what;
  Settings values;
};

// All but the first differ from the defaults in the sound, so a state that is
// lost on the way is heard.
const SettingsRow kRows[] = {
    {"defaults", {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"levels and master", {-6.0f, -12.3f, -167.0f, 0.0f, 0.0f, 0.0f, 9.0f, 0.0f}},
    {"pairs muted, busses passed", {0.0f, -3.5f, 0.0f, 1.0f, 0.0f, 1.0f, -9.0f, 1.0f}},
    {"one pair left", {-0.1f, 0.0f, -40.0f, 1.0f, 1.0f, 0.0f, 4.5f, 1.0f}},
};

// lilv hands a state's properties to nothing but an instance's restore: a
// stand-in instance whose restore takes the property reads what lilv holds.
LV2_State_Status probeRestore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                              LV2_State_Handle state, std::uint32_t, const LV2_Feature* const*) {
  auto& probe = *static_cast<Property*>(handle);
  std::size_t size = 0;
  std::uint32_t flags = 0;
  const auto* bytes =
      static_cast<const unsigned char*>(retrieve(state, probe.key, &size, &probe.type, &flags));
  if (bytes != nullptr) probe.value.assign(bytes, bytes + size);
  return LV2_STATE_SUCCESS;
}

const void* probeExtension(const char* uri) {
  static const LV2_State_Interface state{nullptr, probeRestore};
  return std::strcmp(uri, LV2_STATE__interface) == 0 ? &state : nullptr;
}

Property propertyOf(const LilvState* state, LV2_URID key) {
  Property probe{key, 0, {}};
  LV2_Descriptor descriptor{};
  descriptor.extension_data = probeExtension;
  LilvInstance instance{&descriptor, &probe, nullptr};
  lilv_state_restore(state, &instance, nullptr, nullptr, 0, nullptr);
  return probe;
}

using StatePointer = std::unique_ptr<LilvState, decltype(&lilv_state_free)>;

// An instance as an LV2 host runs it: control ports starting at the bundle's
// defaults, audio on guarded buffers, the optional time port unconnected.
class Lv2Instance {
 public:
  Lv2Instance(const LilvPlugin* plugin, UridMap& urids) : plugin_(plugin), urids_(urids) {
    const LV2_Feature map{LV2_URID__map, &urids.lv2Map};
    const LV2_Feature* features[] = {&map, nullptr};
    instance_ = lilv_plugin_instantiate(plugin, kSampleRate, features);
    if (instance_ == nullptr) throw std::runtime_error("the plugin made no instance");
    std::vector<float> defaults(lilv_plugin_get_num_ports(plugin));
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    for (std::uint32_t port = 0; port < kParameterCount; ++port) {
      controls_[port] = defaults[port];
      lilv_instance_connect_port(instance_, port, &controls_[port]);
    }
  }
  ~Lv2Instance() {
    if (active_) lilv_instance_deactivate(instance_);
    lilv_instance_free(instance_);
  }
  Lv2Instance(const Lv2Instance&) = delete;
  Lv2Instance& operator=(const Lv2Instance&) = delete;

  Settings& controls() { return controls_; }
  LilvInstance* get() { return instance_; }

  // One block of the test signal, after activating as a host does first.
  ChannelBuffers<float> run() {
    if (!active_) lilv_instance_activate(instance_);
    active_ = true;
    ChannelBuffers<float> inputs = testSignal<float>(kFrames);
    const ChannelSamples sent = samplesOf(inputs);
    ChannelBuffers<float> outputs(kChannelCount, kFrames, 0.25f);
    for (std::uint32_t channel = 0; channel < kChannelCount; ++channel) {
      lilv_instance_connect_port(instance_, kFirstInputPort + channel, inputs.pointers()[channel]);
      lilv_instance_connect_port(instance_, kFirstOutputPort + channel,
                                 outputs.pointers()[channel]);
    }
    lilv_instance_run(instance_, kFrames);
    EXPECT_TRUE(sameSamples(samplesOf(inputs), sent)) << "the inputs were changed";
    EXPECT_TRUE(intactGuards(inputs));
    EXPECT_TRUE(intactGuards(outputs));
    return outputs;
  }

  // What a host keeps of the instance through lilv: properties and ports.
  StatePointer lilvState() {
    return {lilv_state_new_from_instance(plugin_, instance_, &urids_.lv2Map, nullptr, nullptr,
                                         nullptr, nullptr, portValue, this,
                                         LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr),
            lilv_state_free};
  }

  static void setPortValue(const char* symbol, void* self, const void* value, std::uint32_t size,
                           std::uint32_t type) {
    auto& instance = *static_cast<Lv2Instance*>(self);
    const std::uint32_t port = instance.portOf(symbol);
    if (port < kParameterCount && size == sizeof(float) && type == instance.urids_(LV2_ATOM__Float))
      std::memcpy(&instance.controls_[port], value, sizeof(float));
  }

  // The plugin's own restore with the property handed back by the test.
  LV2_State_Status restore(Property property) {
    const auto* state = static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(instance_, LV2_STATE__interface));
    if (state == nullptr) throw std::runtime_error("the plugin has no state interface");
    return state->restore(lilv_instance_get_handle(instance_), retrieveProperty, &property, 0,
                          nullptr);
  }

 private:
  std::uint32_t portOf(const char* symbol) const {
    std::uint32_t port = 0;
    for (; port < kParameterCount; ++port) {
      const LilvNode* name =
          lilv_port_get_symbol(plugin_, lilv_plugin_get_port_by_index(plugin_, port));
      if (std::strcmp(lilv_node_as_string(name), symbol) == 0) break;
    }
    return port;
  }

  static const void* portValue(const char* symbol, void* self, std::uint32_t* size,
                               std::uint32_t* type) {
    auto& instance = *static_cast<Lv2Instance*>(self);
    const std::uint32_t port = instance.portOf(symbol);
    if (port >= kParameterCount) return nullptr;
    *size = sizeof(float);
    *type = instance.urids_(LV2_ATOM__Float);
    return &instance.controls_[port];
  }

  const LilvPlugin* plugin_;
  UridMap& urids_;
  LilvInstance* instance_ = nullptr;
  Settings controls_{};
  bool active_ = false;
};

void setParameters(PluginInstance& plugin, const Settings& values) {
  for (std::int32_t index = 0; index < kParameterCount; ++index)
    plugin.setParameter(index, static_cast<float>(positionOf(index, values[index])));
}

Chunk vstChunkOf(const Settings& values) {
  SwitchedOnInstance vst;
  setParameters(vst.plugin, values);
  return saveFrom(vst.plugin);
}

// The same block through the VST edition: the LV2 outputs must match it bit
// for bit.
void expectVstSound(const ChannelBuffers<float>& lv2, PluginInstance& vst) {
  ChannelBuffers<float> inputs = testSignal<float>(kFrames);
  expectOutputs(lv2, samplesOf(processed(vst, inputs)));
}

class Lv2EditionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bundle = std::getenv("TRIMIXER_LV2_BUNDLE_DIR");
    ASSERT_NE(bundle, nullptr) << "TRIMIXER_LV2_BUNDLE_DIR names no bundle";
    LilvNode* bundleUri = lilv_new_file_uri(world_, nullptr, (std::string(bundle) + "/").c_str());
    lilv_world_load_bundle(world_, bundleUri);
    lilv_node_free(bundleUri);
    LilvNode* uri = lilv_new_uri(world_, plugin_identity::kLv2Uri);
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
    lilv_node_free(uri);
    ASSERT_NE(plugin_, nullptr) << "no " << plugin_identity::kLv2Uri << " in " << bundle;
  }
  ~Lv2EditionTest() override { lilv_world_free(world_); }

  LilvWorld* world_ = lilv_world_new();
  UridMap urids_;  // the fixture is never copied, so the map's handle stays valid
  const LilvPlugin* plugin_ = nullptr;
};

TEST_F(Lv2EditionTest, SavesTheVstChunkAsItsOneProperty) {
  for (const SettingsRow& row : kRows) {
    SCOPED_TRACE(row.what);
    SwitchedOnInstance vst;
    setParameters(vst.plugin, row.values);
    Lv2Instance lv2(plugin_, urids_);
    lv2.controls() = row.values;
    // Hosts may save before they run an instance: the ports set count already.
    const StatePointer early = lv2.lilvState();
    ASSERT_NE(early, nullptr);
    EXPECT_EQ(propertyOf(early.get(), urids_(kChunkKey)).value, saveFrom(vst.plugin));
    expectVstSound(lv2.run(), vst.plugin);

    const StatePointer state = lv2.lilvState();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(lilv_state_get_num_properties(state.get()), 1u);
    const Property chunk = propertyOf(state.get(), urids_(kChunkKey));
    EXPECT_EQ(chunk.type, urids_(LV2_ATOM__Chunk));
    ASSERT_EQ(chunk.value.size(), kSavedChunkSize);
    EXPECT_EQ(chunk.value, saveFrom(vst.plugin));
  }
}

// How a state reaches a fresh instance, and what its control ports hold then.
// The ports win: after a restore the next block applies every port's value
// again, so the instance sounds as its controls show; a chunk that agrees
// with the ports changes nothing.
enum class Restore { lilvState, vstChunkFirst, vstChunkAfterABlock };
enum class Ports { chunksValues, defaults, otherValues };
const struct RestoreCase {
  Restore restore;
  Ports ports;
  const char* what;
} kRestores[] = {
    {Restore::lilvState, Ports::chunksValues, "lilv state with its port values"},
    {Restore::lilvState, Ports::defaults, "lilv state, ports left at their defaults"},
    {Restore::vstChunkFirst, Ports::chunksValues, "VST chunk before the first block, same ports"},
    {Restore::vstChunkFirst, Ports::defaults,
     "VST chunk before the first block, ports at defaults"},
    {Restore::vstChunkAfterABlock, Ports::chunksValues, "VST chunk after a block, same ports"},
    {Restore::vstChunkAfterABlock, Ports::otherValues, "VST chunk after a block, other ports"},
};

Settings portsFor(Ports ports, std::size_t row) {
  switch (ports) {
    case Ports::chunksValues:
      return kRows[row].values;
    case Ports::defaults:
      return kRows[0].values;
    case Ports::otherValues:
      break;
  }
  return kRows[(row + 1) % std::size(kRows)].values;
}

// A chunk holds floats: a level a port set in double precision comes back
// rounded to float, in either edition. So a restored instance is held to the
// VST edition that loaded the same chunk and was then set to the ports'
// values, not to the instance that saved it.
TEST_F(Lv2EditionTest, SoundsAsItsPortsAfterARestore) {
  for (std::size_t row = 0; row < std::size(kRows); ++row) {
    const Chunk chunk = vstChunkOf(kRows[row].values);
    for (const RestoreCase& restore : kRestores) {
      SCOPED_TRACE(::testing::Message() << kRows[row].what << ", " << restore.what);
      const Settings ports = portsFor(restore.ports, row);
      SwitchedOnInstance vst;
      ASSERT_EQ(loadInto(vst.plugin, chunk), static_cast<std::intptr_t>(chunk.size()));
      setParameters(vst.plugin, ports);
      Lv2Instance lv2(plugin_, urids_);
      if (restore.restore == Restore::lilvState) {
        Lv2Instance saved(plugin_, urids_);
        saved.controls() = kRows[row].values;
        saved.run();
        const StatePointer state = saved.lilvState();
        ASSERT_NE(state, nullptr);
        const bool withPorts = restore.ports == Ports::chunksValues;
        lilv_state_restore(state.get(), lv2.get(), withPorts ? Lv2Instance::setPortValue : nullptr,
                           &lv2, 0, nullptr);
      } else {
        lv2.controls() = ports;
        if (restore.restore == Restore::vstChunkAfterABlock) lv2.run();
        EXPECT_EQ(lv2.restore({urids_(kChunkKey), urids_(LV2_ATOM__Chunk), chunk}),
                  LV2_STATE_SUCCESS);
      }
      EXPECT_EQ(lv2.controls(), ports);
      expectVstSound(lv2.run(), vst.plugin);
    }
  }
}

TEST_F(Lv2EditionTest, RefusesARestoreWithoutItsChunkAndKeepsItsState) {
  const Chunk kept = vstChunkOf(kRows[1].values);
  const Chunk other = vstChunkOf(kRows[2].values);
  const LV2_URID key = urids_(kChunkKey);
  const struct {
    const char* what;
    Property property;
    LV2_State_Status answer;
  } refused[] = {
      {"another key only",
       {urids_(kChunkKey + "s"), urids_(LV2_ATOM__Chunk), other},
       LV2_STATE_ERR_NO_PROPERTY},
      {"a string", {key, urids_(LV2_ATOM__String), other}, LV2_STATE_ERR_BAD_TYPE},
      {"an integer", {key, urids_(LV2_ATOM__Int), Chunk{1, 0, 0, 0}}, LV2_STATE_ERR_BAD_TYPE},
  };
  Lv2Instance lv2(plugin_, urids_);
  lv2.controls() = kRows[1].values;
  ASSERT_EQ(lv2.restore({key, urids_(LV2_ATOM__Chunk), kept}), LV2_STATE_SUCCESS);
  lv2.run();
  for (const auto& restore : refused) {
    SCOPED_TRACE(restore.what);
    EXPECT_EQ(lv2.restore(restore.property), restore.answer);
    const StatePointer state = lv2.lilvState();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(propertyOf(state.get(), key).value, kept);
  }
}

// Sessions as hosts hand them back, damaged or saved by a newer version: the
// instance takes each as the VST edition takes the same chunk (refused, or
// the whole values it holds), then its ports apply again.
TEST_F(Lv2EditionTest, TakesADamagedOrNewerChunkAsTheVstEditionDoes) {
  const Chunk kept = chunkOf(countingValues(kSavedValueCount));
  const Chunk other = vstChunkOf(kRows[2].values);
  const struct {
    const char* what;
    Chunk chunk;
  } sessions[] = {
      {"3 bytes", cutTo(other, 3)},
      {"259 bytes", cutTo(other, kSavedChunkSize - 1)},
      {"261 bytes", joined(other, {0x5A})},
      {"six more values", joined(other, bytesOf(countingValues(6)))},
  };
  const LV2_URID key = urids_(kChunkKey);
  for (const auto& session : sessions) {
    SCOPED_TRACE(session.what);
    SwitchedOnInstance vst;
    loadInto(vst.plugin, kept);
    loadInto(vst.plugin, session.chunk);
    setParameters(vst.plugin, kRows[1].values);
    Lv2Instance lv2(plugin_, urids_);
    lv2.controls() = kRows[1].values;
    ASSERT_EQ(lv2.restore({key, urids_(LV2_ATOM__Chunk), kept}), LV2_STATE_SUCCESS);
    lv2.run();
    EXPECT_EQ(lv2.restore({key, urids_(LV2_ATOM__Chunk), session.chunk}), LV2_STATE_SUCCESS);
    expectVstSound(lv2.run(), vst.plugin);
    const StatePointer state = lv2.lilvState();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(propertyOf(state.get(), key).value, saveFrom(vst.plugin));
  }
}

std::string nodeText(const LilvNode* node) {
  return node != nullptr ? lilv_node_as_string(node) : "(none)";
}

TEST_F(Lv2EditionTest, DescribesEachControlAsTheEffectDefinesIt) {
  const TTovraEffect effect;
  ASSERT_EQ(effect.controlCount(), kParameterCount);
  LilvNode* controlPort = lilv_new_uri(world_, LILV_URI_CONTROL_PORT);
  LilvNode* inputPort = lilv_new_uri(world_, LILV_URI_INPUT_PORT);
  LilvNode* unit = lilv_new_uri(world_, LV2_UNITS__unit);
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    const ControlDescriptor& control = effect.descriptor(index);
    SCOPED_TRACE(control.name);
    const LilvPort* port =
        lilv_plugin_get_port_by_index(plugin_, static_cast<std::uint32_t>(index));
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(lilv_port_is_a(plugin_, port, controlPort) &&
                lilv_port_is_a(plugin_, port, inputPort));

    LilvNode* name = lilv_port_get_name(plugin_, port);
    EXPECT_EQ(nodeText(name), control.name);
    lilv_node_free(name);

    LilvNode *defaultValue = nullptr, *minimum = nullptr, *maximum = nullptr;
    lilv_port_get_range(plugin_, port, &defaultValue, &minimum, &maximum);
    const auto number = [](const LilvNode* node) {
      return node != nullptr ? lilv_node_as_float(node) : -1e30f;
    };
    EXPECT_EQ(number(defaultValue), static_cast<float>(control.defaultValue));
    EXPECT_EQ(number(minimum), static_cast<float>(control.minimum));
    EXPECT_EQ(number(maximum), static_cast<float>(control.maximum));
    for (LilvNode* node : {defaultValue, minimum, maximum}) lilv_node_free(node);

    LilvNodes* units = lilv_port_get_value(plugin_, port, unit);
    const std::string expectedUnit = control.label.empty()   ? "(none)"
                                     : control.label == "dB" ? LV2_UNITS__db
                                                             : "a unit for " + control.label;
    EXPECT_EQ(nodeText(units != nullptr ? lilv_nodes_get_first(units) : nullptr), expectedUnit);
    lilv_nodes_free(units);

    // A list control shows entry k for the k-th of its values spread evenly over the range.
    std::map<float, std::string> expectedPoints;
    const std::size_t entries = control.enumerationTexts.size();
    for (std::size_t entry = 0; entry < entries; ++entry)
      expectedPoints[static_cast<float>(control.minimum + (control.maximum - control.minimum) *
                                                              entry / (entries - 1))] =
          control.enumerationTexts[entry];
    std::map<float, std::string> points;
    LilvScalePoints* scalePoints = lilv_port_get_scale_points(plugin_, port);
    LILV_FOREACH(scale_points, point, scalePoints) {
      const LilvScalePoint* scalePoint = lilv_scale_points_get(scalePoints, point);
      points[lilv_node_as_float(lilv_scale_point_get_value(scalePoint))] =
          nodeText(lilv_scale_point_get_label(scalePoint));
    }
    lilv_scale_points_free(scalePoints);
    EXPECT_EQ(points, expectedPoints);
  }
  for (LilvNode* node : {controlPort, inputPort, unit}) lilv_node_free(node);
}

// The factory presets, each under its LV2 name and its program file's, with
// the values both must set. The program file is in the folder
// TRIMIXER_PRESETS_DIR names.
const struct FactoryPreset {
  const char* lv2Name;  // after the plugin's URI and "#"
  const char* programFile;
  const char* label;
  Settings values;
} kFactoryPresets[] = {
    {"preset-unity",
     "three-pairs-at-unity.fxp",
     "Three pairs at unity",
     {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    {"preset-pair-1-only",
     "pair-1-only.fxp",
     "Pair 1 only",
     {0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f}},
    {"preset-stems-minus-6",
     "stems-to-stereo-minus-6-db.fxp",
     "Stems to stereo at -6 dB, busses passed through",
     {-6.0f, -6.0f, -6.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f}},
};

// An LV2 preset sets the ports as a host restores it, and the program file of
// the same name holds the VST 2.x edition's chunk of the same values: the two
// sound alike, and the bundle holds no other preset.
TEST_F(Lv2EditionTest, FactoryPresetsSetTheSameMixInBothEditions) {
  const char* folder = std::getenv("TRIMIXER_PRESETS_DIR");
  ASSERT_NE(folder, nullptr) << "TRIMIXER_PRESETS_DIR names no folder";
  LilvNode* presetClass = lilv_new_uri(world_, LV2_PRESETS__Preset);
  LilvNodes* presets = lilv_plugin_get_related(plugin_, presetClass);
  EXPECT_EQ(lilv_nodes_size(presets), std::size(kFactoryPresets));
  lilv_nodes_free(presets);
  lilv_node_free(presetClass);
  LilvNode* label = lilv_new_uri(world_, LILV_NS_RDFS "label");
  for (const FactoryPreset& preset : kFactoryPresets) {
    SCOPED_TRACE(preset.label);
    const std::string uri = std::string(plugin_identity::kLv2Uri) + "#" + preset.lv2Name;
    LilvNode* node = lilv_new_uri(world_, uri.c_str());
    lilv_world_load_resource(world_, node);
    LilvNode* name = lilv_world_get(world_, node, label, nullptr);
    EXPECT_EQ(nodeText(name), preset.label);
    lilv_node_free(name);
    const StatePointer state{lilv_state_new_from_world(world_, &urids_.lv2Map, node),
                             lilv_state_free};
    lilv_node_free(node);
    ASSERT_NE(state, nullptr) << "no preset " << uri;
    Lv2Instance lv2(plugin_, urids_);
    lilv_state_restore(state.get(), lv2.get(), Lv2Instance::setPortValue, &lv2, 0, nullptr);
    EXPECT_EQ(lv2.controls(), preset.values);

    const PresetFile program = readPresetFile(std::string(folder) + "/" + preset.programFile);
    EXPECT_EQ(program.programName, cutToLimit(preset.label, kProgramNameLimit));
    EXPECT_EQ(program.chunk, vstChunkOf(preset.values));
    SwitchedOnInstance vst;
    ASSERT_EQ(loadInto(vst.plugin, program.chunk),
              static_cast<std::intptr_t>(program.chunk.size()));
    expectVstSound(lv2.run(), vst.plugin);
  }
  lilv_node_free(label);
}

}  // namespace
