// What the dispatcher answers to the host's queries and requests, and what
// those requests change.

#include <array>
#include <cstdint>

#include "plugin_under_test.h"

namespace {

class DispatcherTest : public HostedPluginTest {
 protected:
  std::intptr_t canDo(const char* capability) {
    return plugin.dispatch(effCanDo, 0, 0, const_cast<char*>(capability));
  }

  void setProgramName(const char* name) {
    plugin.dispatch(effSetProgramName, 0, 0, const_cast<char*>(name));
  }
};

struct FixedAnswer {
  const char* what;
  std::int32_t opcode;
  std::int32_t index;
  std::intptr_t value;
  std::intptr_t answer;
};

const FixedAnswer kFixedAnswers[] = {
    {"open", effOpen, 0, 0, 0},
    {"current program", effGetProgram, 0, 0, 0},
    {"sample rate", effSetSampleRate, 0, 0, 0},
    {"block size", effSetBlockSize, 0, 512, 0},
    {"VU meter", effGetVu, 0, 0, 0},
    {"identity", effIdentify, 0, 0, kEffectIdentity},
    {"automatable first parameter", effCanBeAutomated, 0, 0, 1},
    {"automatable last parameter", effCanBeAutomated, 7, 0, 1},
    {"automatable unknown parameter", effCanBeAutomated, 100, 0, 1},
    {"program categories", effGetNumProgramCategories, 0, 0, 0},
    {"plug category", effGetPlugCategory, 0, 0, 0},
    {"bypass", effSetBypass, 0, 1, 0},
    {"vendor version", effGetVendorVersion, 0, 0, kIdentity.vendorVersion},
    {"tail size", effGetTailSize, 0, 0, 0},
    {"interface version", effGetVstVersion, 0, 0, kVstVersion},
    {"current MIDI program", effGetCurrentMidiProgram, 0, 0, -1},
    {"MIDI programs changed", effHasMidiProgramsChanged, 0, 0, 0},
    {"start process", effStartProcess, 0, 0, 0},
    {"stop process", effStopProcess, 0, 0, 0},
    {"total samples to process", effSetTotalSampleToProcess, 0, 512, 512},
    {"process precision", effSetProcessPrecision, 0, 1, 0},
    {"MIDI input channels", effGetNumMidiInputChannels, 0, 0, 0},
    {"MIDI output channels", effGetNumMidiOutputChannels, 0, 0, 0},
};

TEST_F(DispatcherTest, AnswersQueriesWithFixedValues) {
  for (const FixedAnswer& query : kFixedAnswers) {
    SCOPED_TRACE(query.what);
    EXPECT_EQ(plugin.dispatch(query.opcode, query.index, query.value), query.answer);
  }
}

TEST_F(DispatcherTest, AnswersZeroToOpcodesItDoesNotKnow) {
  for (std::int32_t opcode = effGetNumMidiOutputChannels + 1; opcode < 128; ++opcode) {
    SCOPED_TRACE(opcode);
    EXPECT_EQ(plugin.dispatch(opcode), 0);
  }
  EXPECT_EQ(plugin.dispatch(-1), 0);
}

TEST_F(DispatcherTest, HasNoEditor) {
  const std::array<std::int32_t, 12> editorOpcodes = {
      effEditGetRect, effEditOpen, effEditClose, effEditDraw,    effEditMouse, effEditKey,
      effEditIdle,    effEditTop,  effEditSleep, effEditKeyDown, effEditKeyUp, effSetEditKnobMode};
  for (std::int32_t opcode : editorOpcodes) {
    SCOPED_TRACE(opcode);
    EXPECT_EQ(plugin.dispatch(opcode), 0);
  }

  int hostRectangle = 0;
  void* rectangle = &hostRectangle;
  EXPECT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &rectangle), 0);
  EXPECT_EQ(rectangle, &hostRectangle);
}

TEST_F(DispatcherTest, WantsOnlyMidiEvents) {
  EXPECT_EQ(canDo("receiveVstMidiEvent"), 1);

  const char* declined[] = {"receiveVstEvents",
                            "sendVstEvents",
                            "sendVstMidiEvent",
                            "receiveVstTimeInfo",
                            "offline",
                            "midiProgramNames",
                            "bypass",
                            "",
                            "receiveVstMidiEven",
                            "receiveVstMidiEvents",
                            "ReceiveVstMidiEvent"};
  for (const char* capability : declined) {
    SCOPED_TRACE(capability);
    EXPECT_EQ(canDo(capability), -1);
  }
  EXPECT_EQ(canDo(nullptr), -1);
}

TEST_F(DispatcherTest, AcceptsEventListsWithoutReadingThem) {
  std::array<std::intptr_t, 4> emptyEventList{};

  EXPECT_EQ(plugin.dispatch(effProcessEvents, 0, 0, emptyEventList.data()), 1);
}

TEST_F(DispatcherTest, KeepsItsOnlyProgram) {
  EXPECT_EQ(plugin.dispatch(effSetProgram, 0, 1), 0);
  EXPECT_EQ(plugin.dispatch(effGetProgram), 0);

  const TextReply indexedName = plugin.readText(effGetProgramNameIndexed, kProgramNameLimit);
  EXPECT_EQ(indexedName.answer, 0);
  EXPECT_TRUE(indexedName.untouched());
}

TEST_F(DispatcherTest, RenamesTheProgramOnly) {
  setProgramName("Live mix");

  EXPECT_EQ(plugin.readText(effGetProgramName, kProgramNameLimit).text(), "Live mix");
  EXPECT_EQ(plugin.readText(effGetEffectName, kEffectNameLimit).text(),
            cutToLimit(kIdentity.effectName, kEffectNameLimit));
  EXPECT_EQ(plugin.readText(effGetProductString, kProductStringLimit).text(), kIdentity.product);
}

TEST_F(DispatcherTest, CutsALongProgramNameWhenReadBack) {
  const std::string longName = "a program name far longer than a host keeps";
  setProgramName(longName.c_str());

  const TextReply reply = plugin.readText(effGetProgramName, kProgramNameLimit);
  EXPECT_EQ(reply.text(), cutToLimit(longName, kProgramNameLimit));
  EXPECT_TRUE(reply.restUntouched());
}

TEST_F(DispatcherTest, IgnoresANullProgramName) {
  setProgramName("Kept");
  setProgramName(nullptr);

  EXPECT_EQ(plugin.readText(effGetProgramName, kProgramNameLimit).text(), "Kept");
}

class SpeakerArrangementTest : public DispatcherTest {
 protected:
  // Stands for an arrangement the host already held in a location.
  int hostArrangement = 0;
  void* inputArrangement = &hostArrangement;
  void* outputArrangement = &hostArrangement;

  std::intptr_t getArrangement(void** inputs, void** outputs) {
    return plugin.dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<std::intptr_t>(inputs),
                           outputs);
  }
};

TEST_F(SpeakerArrangementTest, ReportsNoArrangement) {
  EXPECT_EQ(getArrangement(&inputArrangement, &outputArrangement), 0);
  EXPECT_EQ(inputArrangement, nullptr);
  EXPECT_EQ(outputArrangement, nullptr);
}

TEST_F(SpeakerArrangementTest, SkipsAMissingInputLocation) {
  EXPECT_EQ(getArrangement(nullptr, &outputArrangement), 0);
  EXPECT_EQ(outputArrangement, nullptr);
}

TEST_F(SpeakerArrangementTest, SkipsAMissingOutputLocation) {
  EXPECT_EQ(getArrangement(&inputArrangement, nullptr), 0);
  EXPECT_EQ(inputArrangement, nullptr);
}

TEST_F(DispatcherTest, ClosesWithAnswerOne) { EXPECT_EQ(plugin.close(), 1); }

}  // namespace
