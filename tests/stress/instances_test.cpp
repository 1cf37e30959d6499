// Many instances at once, as a host with many tracks runs them: instances of
// both editions, each on a thread of its own, move their controls, save and
// restore their state and process blocks, while other threads create
// instances of both editions, use each for a round and destroy it. Instances
// share nothing a host can see, so every block is the mix of its own
// instance's settings and every save holds them, whatever the other threads
// do; a ThreadSanitizer build (preset tsan) fails on any race it reports.
// The LV2 edition is the module TRIMIXER_LV2_MODULE names, opened as LV2
// hosts open it; each LV2 instance has a URID map of its own.

#include <dlfcn.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "lv2_host.h"
#include "mix_reference.h"
#include "plugin_under_test.h"
#include "stress_support.h"

namespace {

constexpr std::int64_t kDefaultRounds = 10000;
constexpr int kPlayersPerEdition = 3;
constexpr std::int32_t kLongestBlock = 512;
constexpr std::uint32_t kFirstInputPort = kParameterCount;
constexpr std::uint32_t kFirstOutputPort = kFirstInputPort + kChannelCount;
const std::string kChunkKey = std::string(plugin_identity::kLv2Uri) + "#chunk";

// Control values in the controls' own units, in parameter order, the first
// row a fresh instance's. Either edition reaches these levels exactly from
// its controls, so the mix reference holds every block to them.
using Settings = std::array<float, kParameterCount>;
const Settings kSettings[] = {
    {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    {-6.0f, -167.0f, 0.0f, 0.0f, 0.0f, 1.0f, 9.0f, 1.0f},
    {0.0f, -6.0f, -6.0f, 1.0f, 0.0f, 0.0f, -9.0f, 0.0f},
    {-167.0f, 0.0f, -6.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f},
};
constexpr std::int32_t kSettingsRows = static_cast<std::int32_t>(std::size(kSettings));

MixFactors mixOf(const Settings& settings) {
  return factorsFor(controlValuesOf({settings.begin(), settings.end()}));
}

// What either edition saves with these settings in force.
Chunk stateOf(const Settings& settings) { return savedChunkOf({settings.begin(), settings.end()}); }

// Processes a block of the test signal through `process`; names the first
// output that is not the mix, or nothing.
template <typename Sample, typename Process>
std::string strayBlock(std::int32_t frames, const MixFactors& mix, Process process) {
  ChannelBuffers<Sample> inputs = testSignal<Sample>(frames);
  ChannelBuffers<Sample> outputs(kChannelCount, frames, Sample{0.25});
  process(inputs, outputs);
  if (const auto hit = outputs.firstGuardHit()) return "a guard sample written: " + hit->describe();
  const std::vector<std::string> strays =
      strayOutputs(outputs, expectedOutputs(inputs, mix), kGainUlps);
  return strays.empty() ? std::string() : strays.front();
}

// One instance of either edition, as a host drives it from one thread.
class Instance {
 public:
  virtual ~Instance() = default;
  virtual void moveControls(const Settings& settings) = 0;
  // A host restores a state with what it saved beside it: an LV2 host its
  // port values, which win over the state's.
  virtual bool restore(const Chunk& state, const Settings& settings) = 0;
  virtual Chunk save() = 0;
  // On the double path where the edition has one and `wide` asks for it.
  virtual std::string processBlock(std::int32_t frames, bool wide, const MixFactors& mix) = 0;
};

class VstInstance final : public Instance {
 public:
  VstInstance() : hosted_(vstPluginMain(), HostLog::dropped) { switchOn(hosted_.plugin); }

  void moveControls(const Settings& settings) override {
    for (std::int32_t index = 0; index < kParameterCount; ++index)
      hosted_.plugin.setParameter(index, static_cast<float>(positionOf(index, settings[index])));
  }
  bool restore(const Chunk& state, const Settings&) override {
    return loadInto(hosted_.plugin, state) == static_cast<std::intptr_t>(state.size());
  }
  Chunk save() override { return saveFrom(hosted_.plugin); }
  std::string processBlock(std::int32_t frames, bool wide, const MixFactors& mix) override {
    const auto process = [this](auto& inputs, auto& outputs) {
      hosted_.plugin.process(inputs, outputs);
    };
    return wide ? strayBlock<double>(frames, mix, process)
                : strayBlock<float>(frames, mix, process);
  }

 private:
  HostedInstance hosted_;
};

// The LV2 module, opened once for every thread, and its plugin's descriptor.
class Lv2Module {
 public:
  explicit Lv2Module(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW)) {
    if (handle_ == nullptr) throw std::runtime_error(dlerror());
    const auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(handle_, "lv2_descriptor"));
    descriptor_ = entry != nullptr ? entry(0) : nullptr;
    if (descriptor_ == nullptr) throw std::runtime_error("no LV2 plugin in " + path);
    bundle_ = path.substr(0, path.rfind('/') + 1);
  }
  ~Lv2Module() { dlclose(handle_); }
  Lv2Module(const Lv2Module&) = delete;
  Lv2Module& operator=(const Lv2Module&) = delete;

  const LV2_Descriptor& descriptor() const { return *descriptor_; }
  const char* bundle() const { return bundle_.c_str(); }

 private:
  void* handle_;
  const LV2_Descriptor* descriptor_ = nullptr;
  std::string bundle_;
};

// An LV2 instance as a host runs it: the URID map and the options feature
// with the nominal block length, control ports on values of its own,
// activated until it goes.
class Lv2Instance final : public Instance {
 public:
  explicit Lv2Instance(const Lv2Module& module) : plugin_(module.descriptor()) {
    const LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, urids_(LV2_BUF_SIZE__nominalBlockLength), sizeof(kBlockSize),
         urids_(LV2_ATOM__Int), &kBlockSize},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    const LV2_Feature map{LV2_URID__map, &urids_.lv2Map};
    const LV2_Feature optionsFeature{LV2_OPTIONS__options,
                                     const_cast<LV2_Options_Option*>(options)};
    const LV2_Feature* features[] = {&map, &optionsFeature, nullptr};
    if (state_ == nullptr) throw std::runtime_error("the LV2 plugin has no state interface");
    handle_ = plugin_.instantiate(&plugin_, kSampleRate, module.bundle(), features);
    if (handle_ == nullptr) throw std::runtime_error("the LV2 plugin made no instance");
    for (std::uint32_t port = 0; port < kParameterCount; ++port)
      plugin_.connect_port(handle_, port, &controls_[port]);
    plugin_.activate(handle_);
  }
  ~Lv2Instance() override {
    plugin_.deactivate(handle_);
    plugin_.cleanup(handle_);
  }

  void moveControls(const Settings& settings) override { controls_ = settings; }
  bool restore(const Chunk& state, const Settings& settings) override {
    controls_ = settings;
    Property property{urids_(kChunkKey), urids_(LV2_ATOM__Chunk), state};
    return state_->restore(handle_, retrieveProperty, &property, 0, nullptr) == LV2_STATE_SUCCESS;
  }
  Chunk save() override {
    Property saved;
    const LV2_State_Status status = state_->save(handle_, storeProperty, &saved, 0, nullptr);
    const bool chunk = saved.key == urids_(kChunkKey) && saved.type == urids_(LV2_ATOM__Chunk);
    return status == LV2_STATE_SUCCESS && chunk ? saved.value : Chunk{};
  }
  std::string processBlock(std::int32_t frames, bool, const MixFactors& mix) override {
    return strayBlock<float>(frames, mix, [&](auto& inputs, auto& outputs) {
      for (std::uint32_t channel = 0; channel < kChannelCount; ++channel) {
        plugin_.connect_port(handle_, kFirstInputPort + channel, inputs.pointers()[channel]);
        plugin_.connect_port(handle_, kFirstOutputPort + channel, outputs.pointers()[channel]);
      }
      plugin_.run(handle_, static_cast<std::uint32_t>(frames));
    });
  }

 private:
  const LV2_Descriptor& plugin_;
  UridMap urids_;
  Settings controls_ = kSettings[0];
  LV2_Handle handle_ = nullptr;
  const LV2_State_Interface* state_ =
      static_cast<const LV2_State_Interface*>(plugin_.extension_data(LV2_STATE__interface));
};

using InstanceMaker = std::function<std::unique_ptr<Instance>()>;

// Holds every thread until all have arrived; for one use only, as a thread
// still waking from it must not meet threads arriving at a later gate.
class Gate {
 public:
  explicit Gate(std::size_t threads) : threads_(threads) {}

  void arriveAndWait() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (++arrived_ == threads_) opened_.notify_all();
    opened_.wait(lock, [&] { return arrived_ == threads_; });
  }

 private:
  const std::size_t threads_;
  std::size_t arrived_ = 0;
  std::mutex mutex_;
  std::condition_variable opened_;
};

// Threads' first blocks run between these two gates: the gates order what
// comes before and after them, but nothing orders one thread's first blocks
// against another's. So ThreadSanitizer reports a process-wide value that
// first blocks write every time, not only when two first blocks happen to
// meet.
struct FirstBlockGates {
  Gate before;
  Gate after;
};

// A player keeps one instance for all its rounds; a visitor makes a fresh one
// for each round and destroys it after.
enum class Lifetime { allRounds, oneRound };

// Rounds of seeded actions on a thread's own instance: new settings by moving
// the controls or restoring their state, or an earlier save restored; a save
// that must hold them, and a block held to their mix. Reports only through its
// fault, read after its thread has joined.
class Player {
 public:
  Player(std::string name, InstanceMaker make, Lifetime lifetime, std::uint32_t seed)
      : name(std::move(name)), make_(std::move(make)), lifetime_(lifetime), random_(seed) {}

  void run(std::int64_t rounds, FirstBlockGates& gates) {
    guarded([&] {
      instance_ = make_();
      return std::string();
    });
    gates.before.arriveAndWait();
    guarded([&] { return checkedBlock(false) + checkedBlock(true); });
    gates.after.arriveAndWait();
    guarded([&] { return playRounds(rounds); });
  }

  std::string name;
  std::string fault;

 private:
  void freshInstance() {
    instance_.reset();
    instance_ = make_();
    row_ = 0;
    kept_.reset();
  }

  // An action, its exception a fault; none once the thread has a fault.
  template <typename Action>
  void guarded(Action action) {
    if (!fault.empty()) return;
    try {
      fault = action();
    } catch (const std::exception& error) {
      fault = error.what();
    }
  }

  std::string playRounds(std::int64_t rounds) {
    for (std::int64_t round = 0; round < rounds; ++round) {
      if (lifetime_ == Lifetime::oneRound) freshInstance();
      if (std::string fault = playRound(); !fault.empty())
        return "round " + std::to_string(round) + ": " + fault;
    }
    return {};
  }

  std::string playRound() {
    std::string fault = changeSettings();
    if (fault.empty() && instance_->save() != stateOf(settings()))
      fault = "a save of settings row " + std::to_string(row_);
    if (fault.empty()) fault = checkedBlock(chance(random_, 0.5));
    if (chance(random_, 0.25)) kept_ = row_;
    return fault;
  }

  std::string checkedBlock(bool wide) {
    const std::int32_t frames = uniformInt(random_, 1, kLongestBlock);
    const std::string stray = instance_->processBlock(frames, wide, mixOf(settings()));
    if (stray.empty()) return {};
    return "a block of " + std::to_string(frames) + " frames, settings row " +
           std::to_string(row_) + ": " + stray;
  }

  std::string changeSettings() {
    switch (uniformInt(random_, 0, 2)) {
      case 0:
        row_ = uniformInt(random_, 0, kSettingsRows - 1);
        instance_->moveControls(settings());
        return {};
      case 1:
        row_ = uniformInt(random_, 0, kSettingsRows - 1);
        break;
      default:
        if (!kept_) return {};
        row_ = *kept_;
    }
    if (instance_->restore(stateOf(settings()), settings())) return {};
    return "a restore of settings row " + std::to_string(row_) + " refused";
  }

  const Settings& settings() const { return kSettings[row_]; }

  InstanceMaker make_;
  Lifetime lifetime_;
  Random random_;
  std::unique_ptr<Instance> instance_;
  std::int32_t row_ = 0;
  std::optional<std::int32_t> kept_;
};

TEST(ManyInstances, EachPlaysItsOwnSettingsWhileOthersComeAndGo) {
  const std::int64_t rounds = workloadFromEnvironment("TRIMIXER_INSTANCE_ROUNDS", kDefaultRounds);
  const char* modulePath = std::getenv("TRIMIXER_LV2_MODULE");
  ASSERT_NE(modulePath, nullptr) << "TRIMIXER_LV2_MODULE names no LV2 module";
  const Lv2Module module(modulePath);
  const struct {
    const char* name;
    InstanceMaker make;
  } editions[] = {
      {"VST 2.x", [] { return std::make_unique<VstInstance>(); }},
      {"LV2", [&module] { return std::make_unique<Lv2Instance>(module); }},
  };

  std::vector<Player> players;
  std::uint32_t seed = 0;
  for (const auto& edition : editions) {
    for (int player = 1; player <= kPlayersPerEdition; ++player) {
      players.emplace_back(std::string(edition.name) + " player " + std::to_string(player),
                           edition.make, Lifetime::allRounds, ++seed);
    }
    players.emplace_back(std::string(edition.name) + " visitor", edition.make, Lifetime::oneRound,
                         ++seed);
  }
  FirstBlockGates gates{Gate(players.size()), Gate(players.size())};
  std::vector<std::thread> threads;
  for (Player& player : players) {
    threads.emplace_back([&player, &gates, rounds] { player.run(rounds, gates); });
  }
  for (std::thread& thread : threads) thread.join();

  std::cout << players.size() << " threads, " << rounds << " rounds each\n";
  for (const Player& player : players) EXPECT_EQ(player.fault, "") << player.name;
}

}  // namespace
