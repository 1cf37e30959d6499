// A session on a plugin in this process: entry points that make no valid
// instance fail as a plugin library's do.
#include "trimhost/plugin/plugin_session.h"

#include <gtest/gtest.h>

#include "expect_tool_error.h"
#include "fake_plugin.h"

namespace {

AEffect* VST_CALL noInstance(audioMasterCallback) { return nullptr; }

AEffect* VST_CALL noMagic(audioMasterCallback) {
  static AEffect record{};
  return &record;
}

TEST(PluginSession, AnEntryPointWithoutAValidInstanceIsAPluginFailure) {
  for (const auto& [entry, message] : std::vector<std::pair<PluginEntryProc, const char*>>{
           {noInstance, "the plugin refused to start: the plugin made no instance"},
           {noMagic,
            "the plugin refused to start: the plugin's record does not start with the magic"}}) {
    expectToolError([entry = entry] { PluginSession session(entry); }, ExitStatus::Plugin, message);
  }
}

TEST(PluginSession, AnInProcessPluginIsOpenedAndReadAsALoadedOneIs) {
  const auto session = openFakePlugin(FakePrograms::Chunks);
  EXPECT_EQ(session->record().uniqueID, kFakePluginId);
  EXPECT_TRUE(session->hasFlag(effFlagsProgramChunks));
  const ParameterState gain = session->parameter(kGain);
  EXPECT_EQ(gain.name, "Gain");
  EXPECT_EQ(gain.label, "dB");
  EXPECT_EQ(gain.display, "-24.0");
}

}  // namespace
