// What both timing programs measure: the plugin, loaded and switched on as a
// host does, processing blocks of six host-owned channels through its
// record, and the reference loops doing the same arithmetic on the same
// buffers with the factors the plugin derives from the same settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <type_traits>

#include "aeffect.h"
#include "downmixer_view.h"
#include "hosted_instance.h"
#include "mix_reference.h"
#include "plugin_host/channel_buffers.h"
#include "plugin_host/plugin_instance.h"
#include "plugin_host/plugin_library.h"
#include "reference_mix.h"

constexpr std::int32_t kBlockSizes[] = {32, 256, 4096};

// The plugin path from the command line, else the library the build made
// (TRIMIXER_PLUGIN_PATH, set by bench/CMakeLists.txt).
const char* pluginPathFrom(int argc, char** argv);

// A second library from the command line, another build of the plugin to
// time beside the first in the same run, else null. Throws std::runtime_error
// when the loader hands back the first library for it, as loaders may for a
// second file of the same name.
std::unique_ptr<PluginLibrary> earlierLibraryFrom(int argc, char** argv,
                                                  const PluginLibrary& plugin);

struct ControlSettings {
  const char* name;
  ControlValues controls;
};

// A fresh instance's controls: busses above 1-2 silent.
inline constexpr ControlSettings kDefaultSettings{"default", {}};

// All eight parameters moved from their defaults. Muting every pair leaves
// outputs 1 and 2 silent, but the reference loops still form the mix, a mute
// being a factor; outputs 3 to 6 pass the busses through.
inline constexpr ControlSettings kEveryControlChanged{
    "changed", {{-6.0, -12.0, -3.0}, {kMuted, kMuted, kMuted}, 4.5, kBussesPassed}};

inline constexpr ControlSettings kSettingsCases[] = {kDefaultSettings, kEveryControlChanged};

void applySettings(PluginInstance& plugin, const ControlSettings& settings);

// An instance of the library's VSTPluginMain, switched on, whose host keeps
// no log of the plugin's calls, as in any long run.
struct SwitchedOnInstance : HostedInstance {
  SwitchedOnInstance(const PluginLibrary& library, std::int32_t blockSize);
};

enum class Subject { plugin, reference, vectorised };
constexpr Subject kSubjects[] = {Subject::plugin, Subject::reference, Subject::vectorised};
const char* nameOf(Subject subject);

template <typename Sample>
constexpr const char* precisionName() {
  return std::is_same_v<Sample, float> ? "float" : "double";
}

// One case: an instance at the given settings and block size, the reference
// factors for those settings, and inputs of irregular noise from a fixed seed.
template <typename Sample>
class ProcessingCase {
 public:
  ProcessingCase(const PluginLibrary& library, std::int32_t blockSize,
                 const ControlSettings& settings);

  // One block, called as a host calls the plugin: the plugin through its
  // record, a reference loop through a function the compiler cannot inline.
  void process(Subject subject);

  std::int32_t frames() const { return inputs_.frames(); }

 private:
  SwitchedOnInstance instance_;
  MixFactors factors_;
  ChannelBuffers<Sample> inputs_;
  ChannelBuffers<Sample> outputs_;
};

extern template class ProcessingCase<float>;
extern template class ProcessingCase<double>;

// Runs both reference loops at every setting on inputs that hold non-finite
// values and the largest samples as well as noise, and compares every output
// with the mix reference. Throws std::runtime_error naming the first loop that
// departs from it, so that nothing is timed against a wrong yardstick.
void checkReferenceLoops();

// Nanoseconds per frame of each subject in one case, and of the earlier
// build's plugin when one is timed (else 0).
struct CaseTimes {
  double plugin;
  double reference;
  double vectorised;
  double earlier = 0.0;
};

// The table both programs print: times per frame, and the plugin's time as a
// multiple of each reference loop's, the figure that holds on a busy machine;
// with an earlier build, its time too and how many times faster the plugin is.
void printTimesHeader(std::ostream& out, bool withEarlier);
void printTimesRow(std::ostream& out, const char* precision, std::int32_t block,
                   const char* settings, const CaseTimes& times);
