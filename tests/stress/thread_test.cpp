// Threads as hosts use them: the audio thread processes while the user
// interface thread sets parameters, reads texts and saves and loads chunks.
// The plugin takes no locks and no atomic operations; processing touches
// nothing that those actions read or write but a few system values, so every
// answer must be exactly what a second instance gives that receives the same
// actions and never processes. The values stay within the controls' ranges, as
// a host's own user interface keeps them, so outputs stay within a bound.
//
// Data races on plain doubles are part of that design: this program is not
// meant for ThreadSanitizer.

#include <atomic>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "mix_expectations.h"
#include "plugin_under_test.h"
#include "state_chunks.h"
#include "stress_support.h"

namespace {

constexpr std::uint32_t kAudioSeed = 1;
constexpr std::uint32_t kControlSeed = 2;
constexpr std::int64_t kDefaultControlActions = 2000000;
// Only a guard against a control thread that never finishes.
constexpr std::int64_t kMostBlocks = 100000000;
constexpr std::int32_t kLongestBlock = 512;
constexpr std::int32_t kLongestProgramName = 40;
// Inputs within -1 and 1 and controls within their ranges: three pairs at
// unity at most, the master at +9 dB; the busses carry at most their inputs.
constexpr double kLargestMix = 3.0 * kGainPlus9dB * (1.0 + 1e-9);
constexpr double kLargestBus = 1.0;
// Far below one control step, above the rounding of a position to float.
constexpr double kPositionTolerance = 1e-6;

// Control values within each control's range, as a host's own saves hold.
std::vector<float> valuesWithinRanges(Random& random) {
  std::vector<float> values;
  for (const ParameterView& parameter : kParameters) {
    values.push_back(static_cast<float>(uniformReal(random, parameter.minimum, parameter.maximum)));
  }
  return values;
}

template <typename Sample>
std::string outOfBoundOutput(const ChannelBuffers<Sample>& outputs) {
  if (const auto hit = outputs.firstGuardHit()) return "a guard sample written: " + hit->describe();
  for (std::size_t channel = 0; channel < outputs.channels(); ++channel) {
    const double bound = channel < 2 ? kLargestMix : kLargestBus;
    for (std::int32_t frame = 0; frame < outputs.frames(); ++frame) {
      const double sample = outputs.at(channel, frame);
      if (!(std::abs(sample) <= bound)) {
        std::ostringstream fault;
        fault << "output " << channel << ", frame " << frame << " is " << sample;
        return fault.str();
      }
    }
  }
  return {};
}

// The audio thread: blocks of random sizes, float and double in turn, until
// told to stop. Reports only through its members, read after it has joined.
class AudioThread {
 public:
  AudioThread(PluginInstance& plugin, RecordingHost& host)
      : plugin_(plugin), host_(host), random_(kAudioSeed), noise_(random_, 0.0) {}

  void run(std::atomic<bool>& started, const std::atomic<bool>& stop) {
    started = true;
    while (!stop && blocks < kMostBlocks && fault.empty()) {
      fault = blocks % 2 == 0 ? processBlock<float>() : processBlock<double>();
      ++blocks;
    }
  }

  std::int64_t blocks = 0;
  std::string fault;

 private:
  template <typename Sample>
  std::string processBlock() {
    const std::int32_t frames = uniformInt(random_, 1, kLongestBlock);
    ChannelBuffers<Sample> inputs =
        noise_.block<Sample>(kChannelCount, frames, noise_.anyOffset(random_));
    ChannelBuffers<Sample> outputs(kChannelCount, frames, Sample{0.25});
    plugin_.process(inputs, outputs);
    // Only this thread makes the plugin call the host while both run.
    host_.clearCalls();
    return outOfBoundOutput(outputs);
  }

  PluginInstance& plugin_;
  RecordingHost& host_;
  Random random_;
  NoiseTable noise_;
};

// The user interface thread: each action goes to both instances, and each
// answer of the one being played must equal its twin's.
class ControlThread {
 public:
  ControlThread(PluginInstance& played, PluginInstance& twin)
      : played_(played), twin_(twin), random_(kControlSeed) {}

  void run(std::int64_t actions, const std::atomic<bool>& audioStarted) {
    while (!audioStarted) std::this_thread::yield();
    for (std::int64_t action = 0; action < actions && fault.empty(); ++action) {
      fault = act();
      if (!fault.empty()) fault = "action " + std::to_string(action) + ": " + fault;
    }
  }

  std::string fault;

 private:
  std::string act() {
    switch (uniformInt(random_, 0, 5)) {
      case 0:
        return setParameter();
      case 1:
        return compareParameterText();
      case 2:
        return compareProgramName();
      case 3:
        return compareSaves();
      case 4:
        return loadIntoBoth();
      default:
        return renameBoth();
    }
  }

  std::string setParameter() {
    const std::int32_t index = uniformInt(random_, 0, kParameterCount - 1);
    const auto position = static_cast<float>(uniformReal(random_, 0.0, 1.0));
    played_.setParameter(index, position);
    twin_.setParameter(index, position);
    const float playedPosition = played_.getParameter(index);
    if (playedPosition == twin_.getParameter(index)) return {};
    return "parameter " + std::to_string(index) + " at " + std::to_string(playedPosition);
  }

  std::string compareParameterText() {
    return compareText(kParameterTexts[uniformInt(random_, 0, 2)],
                       uniformInt(random_, 0, kParameterCount - 1));
  }

  std::string compareProgramName() { return compareText(kInstanceTexts[0], 0); }

  std::string compareText(const TextOpcode& text, std::int32_t index) {
    const TextReply reply = played_.readText(text.opcode, text.limit, index);
    if (!reply.restUntouched()) return std::string(text.what) + " broke its limit";
    if (reply.text() == twin_.readText(text.opcode, text.limit, index).text()) return {};
    return std::string(text.what) + " of " + std::to_string(index) + " reads " + *reply.text();
  }

  std::string compareSaves() {
    lastSaved_ = saveFrom(played_);
    if (lastSaved_.size() != kSavedChunkSize || !startsWithMarker(lastSaved_)) {
      return "a save of " + std::to_string(lastSaved_.size()) + " bytes";
    }
    return lastSaved_ == saveFrom(twin_) ? std::string() : "the saves differ";
  }

  // A save of values within the ranges, or the last chunk saved.
  std::string loadIntoBoth() {
    const Chunk chunk = lastSaved_.empty() || chance(random_, 0.5)
                            ? savedChunkOf(valuesWithinRanges(random_))
                            : lastSaved_;
    loadInto(played_, chunk);
    loadInto(twin_, chunk);
    return {};
  }

  std::string renameBoth() {
    std::string name(static_cast<std::size_t>(uniformInt(random_, 0, kLongestProgramName)), ' ');
    for (char& letter : name) letter = static_cast<char>(uniformInt(random_, 'a', 'z'));
    played_.dispatch(effSetProgramName, 0, 0, name.data());
    twin_.dispatch(effSetProgramName, 0, 0, name.data());
    return {};
  }

  PluginInstance& played_;
  PluginInstance& twin_;
  Random random_;
  Chunk lastSaved_;
};

// The chunk the played instance saves now holds the parameters it shows and
// its twin's values, and both sound alike.
void expectStateOfTwin(PluginInstance& played, PluginInstance& twin) {
  const Chunk saved = saveFrom(played);
  ASSERT_EQ(saved.size(), kSavedChunkSize);
  const std::vector<float> values = floatsOf(saved);
  EXPECT_EQ(values, floatsOf(saveFrom(twin)));
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    SCOPED_TRACE(::testing::Message() << "parameter " << index);
    EXPECT_NEAR(played.getParameter(index), positionOf(index, values[index + 1]),
                kPositionTolerance);
    EXPECT_EQ(played.readText(effGetParamDisplay, kParameterDisplayLimit, index).text(),
              twin.readText(effGetParamDisplay, kParameterDisplayLimit, index).text());
  }
  ChannelBuffers<double> playedSignal = testSignal<double>(256);
  ChannelBuffers<double> twinSignal = testSignal<double>(256);
  EXPECT_EQ(samplesOf(processed(played, playedSignal)), samplesOf(processed(twin, twinSignal)));
}

TEST(HostThreads, ProcessingBesideUserInterfaceActionsChangesNoAnswerAndStaysBounded) {
  const std::int64_t actions =
      workloadFromEnvironment("TRIMIXER_THREAD_ACTIONS", kDefaultControlActions);
  SwitchedOnInstance played;
  SwitchedOnInstance twin;
  // The first load asks the host for the tempo. It runs here, before the
  // threads start, because the recording host's log is not safe to share
  // between threads; afterwards only processing calls the host.
  Random startValues(kControlSeed);
  const Chunk start = savedChunkOf(valuesWithinRanges(startValues));
  loadInto(played.plugin, start);
  loadInto(twin.plugin, start);

  AudioThread audio(played.plugin, played.host);
  ControlThread control(played.plugin, twin.plugin);
  std::atomic<bool> audioStarted{false};
  std::atomic<bool> controlDone{false};
  std::thread audioThread([&] { audio.run(audioStarted, controlDone); });
  control.run(actions, audioStarted);
  controlDone = true;
  audioThread.join();

  std::cout << actions << " user interface actions beside " << audio.blocks << " blocks\n";
  EXPECT_EQ(audio.fault, "");
  EXPECT_EQ(control.fault, "");
  expectStateOfTwin(played.plugin, twin.plugin);
}

}  // namespace
