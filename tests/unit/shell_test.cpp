#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "downmixer_view.h"
#include "recording_effect.h"
#include "seam/shell_services.h"
#include "vst2/host_text.h"
#include "vst2/quobe.h"

namespace {

// Callbacks that log what reaches the runtime side, in order.
std::vector<std::string> slotLog;
RecordingHost* hostForLog = nullptr;

void logSlot(const char* name) {
  if (hostForLog != nullptr)
    slotLog.push_back(std::string(name) + "@" + std::to_string(hostForLog->calls().size()));
}

EffectCallbacks loggingCallbacks() {
  EffectCallbacks table{};
  table.onCreate = [](ShellHandle) { logSlot("onCreate"); };
  table.onDestroy = [](ShellHandle shell) {
    logSlot("onDestroy");
    delete static_cast<TTovra*>(shellGetEffect(shell));
  };
  table.onOpen = [](ShellHandle) { logSlot("onOpen"); };
  table.onSuspend = [](ShellHandle) { logSlot("onSuspend"); };
  table.onResume = [](ShellHandle) { logSlot("onResume"); };
  table.onClose = [](ShellHandle) { logSlot("onClose"); };
  table.getVendorVersion = [](ShellHandle) -> std::int32_t { return 0x100; };
  table.getEffectName = [](ShellHandle, char* text) -> std::int32_t {
    std::strcpy(text, "a name");
    return 0x100;  // only the lowest byte counts as the truth value
  };
  table.getVendorString = [](ShellHandle, char* text) -> std::int32_t {
    std::memset(text, 'v', kCallbackTextCapacity - 1);
    text[kCallbackTextCapacity - 1] = '\0';
    return 0x101;
  };
  return table;
}

class ShellTest : public ::testing::Test {
 protected:
  RecordingHost host;
  ShellTest() {
    slotLog.clear();
    hostForLog = &host;
  }
  ~ShellTest() override { hostForLog = nullptr; }
};

TEST_F(ShellTest, AHostThatAnswersVersionZeroGetsNoShell) {
  host.answerVersionWith(0);
  RecordingEffect effect;
  const AEffect* record = host.createInstance([&](audioMasterCallback callback) {
    return shellGetRecord(shellCreate(&effect, loggingCallbacks(), callback, 1, 0));
  });
  EXPECT_EQ(record, nullptr);
  EXPECT_TRUE(slotLog.empty());
  ASSERT_EQ(host.calls().size(), 1u);
  EXPECT_EQ(host.calls()[0].opcode, audioMasterVersion);
  EXPECT_EQ(host.calls()[0].effect, nullptr);
}

TEST_F(ShellTest, LifecycleReachesTheSlotsInOrder) {
  {
    Instance<> instance(host, loggingCallbacks());
    EXPECT_EQ(instance.record->flags, effFlagsCanReplacing | effFlagsCanDoubleReplacing);
    instance.dispatch(effOpen);
    instance.dispatch(effMainsChanged, 0, 1);
    instance.dispatch(effMainsChanged, 0, 0);
  }
  // Host calls so far: version, then wantMidi sent by resume before onResume.
  EXPECT_EQ(slotLog, (std::vector<std::string>{"onCreate@1", "onOpen@1", "onResume@2",
                                               "onSuspend@2", "onClose@2", "onDestroy@2"}));
  EXPECT_EQ(host.opcodes(), (std::vector<std::int32_t>{audioMasterVersion, audioMasterWantMidi}));
  EXPECT_EQ(host.calls()[1].value, 1);
}

TEST_F(ShellTest, NullSlotsGiveTheBaseBehaviour) {
  EffectCallbacks empty{};
  empty.onDestroy = [](ShellHandle shell) { delete static_cast<TTovra*>(shellGetEffect(shell)); };
  Instance<> instance(host, empty);
  void* untouched = &host;
  EXPECT_EQ(instance.dispatch(effGetChunk, 0, 0, &untouched), 0);
  EXPECT_EQ(untouched, &host);
  EXPECT_EQ(instance.dispatch(effSetChunk, 0, 4, &untouched), 0);
  EXPECT_EQ(instance.record->getParameter(instance.record, 0), 0.0f);
  char text[8] = "keep";
  EXPECT_EQ(instance.dispatch(effGetEffectName, 0, 0, text), 0);
  instance.dispatch(effGetProgramName, 0, 0, text);
  EXPECT_STREQ(text, "keep");
  EXPECT_EQ(instance.dispatch(effGetVendorVersion), 0);
  float sample = 0.5f;
  float* channel = &sample;
  instance.record->processReplacing(instance.record, &channel, &channel, 1);
  EXPECT_EQ(sample, 0.5f);
}

TEST_F(ShellTest, TruthAnswersUseTheLowestByteAndNumbersPassUnchanged) {
  Instance<> instance(host, loggingCallbacks());
  char name[32];
  EXPECT_EQ(instance.dispatch(effGetEffectName, 0, 0, name), 0);
  EXPECT_STREQ(name, "a name");
  EXPECT_EQ(instance.dispatch(effGetVendorVersion), 0x100);
}

TEST_F(ShellTest, TextsAreCutToTheHostLimitWithoutPadding) {
  Instance<> instance(host, loggingCallbacks());
  char vendor[80];
  std::memset(vendor, '#', sizeof vendor);
  EXPECT_EQ(instance.dispatch(effGetVendorString, 0, 0, vendor), 1);
  EXPECT_EQ(std::string(vendor), std::string(63, 'v'));
  EXPECT_EQ(vendor[64], '#');
  EXPECT_EQ(instance.dispatch(effGetVendorString, 0, 0, nullptr), 0);
}

TEST(HostText, LimitsAndCopy) {
  const std::pair<HostText, std::size_t> limits[] = {
      {HostText::ParameterName, kParameterNameLimit},
      {HostText::ParameterLabel, kParameterLabelLimit},
      {HostText::ParameterDisplay, kParameterDisplayLimit},
      {HostText::ProgramName, kProgramNameLimit},
      {HostText::EffectName, kEffectNameLimit},
      {HostText::VendorString, kVendorStringLimit},
      {HostText::ProductString, kProductStringLimit}};
  for (const auto& [text, limit] : limits) {
    EXPECT_EQ(hostTextLimit(text), limit) << static_cast<int>(text);
  }
  char buffer[12];
  std::memset(buffer, '#', sizeof buffer);
  copyToHost(HostText::ParameterDisplay, "-167.00", buffer);
  EXPECT_STREQ(buffer, "-167.00");
  copyToHost(HostText::ParameterDisplay, "-1234.567", buffer);
  EXPECT_STREQ(buffer, "-1234.5");
  EXPECT_EQ(buffer[8], '#');
  copyToHost(HostText::ParameterLabel, "", buffer);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], '1');  // the rest of the buffer is not padded
}

TEST(ShellServices, ANullHandleAnswersZeroAndWritesNothing) {
  double tempo = 5.0, numerator = 6.0, denominator = 7.0;
  EXPECT_EQ(shellGetRecord(nullptr), nullptr);
  EXPECT_EQ(shellGetEffect(nullptr), nullptr);
  EXPECT_EQ(shellGetNumInputs(nullptr), 0);
  EXPECT_EQ(shellSetNumInputs(nullptr, 6), 0);
  EXPECT_EQ(shellSetNumOutputs(nullptr, 6), 0);
  EXPECT_EQ(shellSetUniqueId(nullptr, 6), 0);
  EXPECT_EQ(shellSetProgramsAreChunks(nullptr, 1), 0);
  EXPECT_EQ(shellGetSampleRate(nullptr), 0.0);
  EXPECT_EQ(shellGetBlockSize(nullptr), 0);
  EXPECT_EQ(timeGetTempo(nullptr), 0.0);
  EXPECT_EQ(timeIsPlaying(nullptr), 0);
  EXPECT_EQ(timeIsRecording(nullptr), 0);
  EXPECT_EQ(timeGetPpqPosition(nullptr), 0.0);
  EXPECT_EQ(timeGetTempoAndSignature(nullptr, &tempo, &numerator, &denominator), 0);
  EXPECT_EQ(tempo + numerator + denominator, 18.0);
}

TEST_F(ShellTest, ServicesReadTheShellAndTheHostsTimeRecord) {
  Instance<> instance(host);
  EXPECT_EQ(shellGetSampleRate(instance.shell), 44100.0);
  EXPECT_EQ(shellGetBlockSize(instance.shell), 1024);
  EXPECT_EQ(shellGetEffect(instance.shell), instance.effect);
  shellSetProgramsAreChunks(instance.shell, 0x100);  // lowest byte 0: off
  EXPECT_EQ(instance.record->flags & effFlagsProgramChunks, 0);

  host.timeInfo().tempo = 120.0;
  host.timeInfo().timeSigNumerator = 3;
  host.timeInfo().timeSigDenominator = 4;
  host.timeInfo().ppqPosition = 2.25;
  host.timeInfo().flags = kVstTransportRecording;
  double tempo = 0, numerator = 0, denominator = 0;
  EXPECT_EQ(timeGetTempoAndSignature(instance.shell, &tempo, &numerator, &denominator), 1);
  EXPECT_EQ(tempo, 120.0);
  EXPECT_EQ(numerator, 3.0);
  EXPECT_EQ(denominator, 4.0);
  EXPECT_EQ(timeGetTempoAndSignature(instance.shell, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(timeGetTempo(instance.shell), 120.0);
  EXPECT_EQ(timeGetPpqPosition(instance.shell), 2.25);
  EXPECT_EQ(timeIsRecording(instance.shell), 1);
  EXPECT_EQ(timeIsPlaying(instance.shell), 0);

  host.provideTimeInfo(false);
  tempo = 9.0;
  EXPECT_EQ(timeGetTempoAndSignature(instance.shell, &tempo, nullptr, nullptr), 0);
  EXPECT_EQ(tempo, 9.0);
  EXPECT_EQ(timeGetTempo(instance.shell), 0.0);
  EXPECT_EQ(timeIsPlaying(instance.shell), 0);
  EXPECT_EQ(timeGetPpqPosition(instance.shell), 0.0);
}

TEST_F(ShellTest, OnCreateDeclaresPinsUniqueIdAndChunks) {
  struct Described : RecordingEffect {
    Described() {
      pinCount = 4;
      uniqueId = 1234;
    }
  };
  Instance<Described> instance(host);
  EXPECT_EQ(instance.record->numInputs, 4);
  EXPECT_EQ(instance.record->numOutputs, 4);
  EXPECT_EQ(instance.record->uniqueID, 1234);
  EXPECT_EQ(instance.record->flags, 0x1030);
  EXPECT_EQ(instance.effect->shell(), instance.shell);
}

}  // namespace
