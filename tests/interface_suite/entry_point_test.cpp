// How a host obtains instances: the exported entry points, the version
// handshake, the record a fresh instance hands over, and several instances
// living side by side.

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "plugin_under_test.h"

namespace {

const HostCall kVersionQuery{nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f};

class EntryPointTest : public ::testing::TestWithParam<const char*> {
 protected:
  PluginEntryProc entry() const { return pluginLibrary().requiredEntryPoint(GetParam()); }
};

TEST_P(EntryPointTest, CreatesAWorkingInstance) {
  RecordingHost host;
  PluginInstance plugin(host, entry());

  EXPECT_EQ(plugin.record().magic, kEffectMagic);
  EXPECT_EQ(plugin.readText(effGetVendorString, kVendorStringLimit).text(), kIdentity.vendor);
  plugin.setParameter(0, 0.5f);
  EXPECT_EQ(plugin.readText(effGetParamDisplay, kParameterDisplayLimit).text(), "-83.50");
}

TEST_P(EntryPointTest, AsksForTheHostVersionFirstAndNothingElse) {
  RecordingHost host;
  PluginInstance plugin(host, entry());

  EXPECT_EQ(host.calls(), std::vector<HostCall>{kVersionQuery});
}

TEST_P(EntryPointTest, MakesNoInstanceForAHostAnsweringVersionZero) {
  RecordingHost host;
  host.answerVersionWith(0);

  EXPECT_EQ(host.createInstance(entry()), nullptr);
  EXPECT_EQ(host.calls(), std::vector<HostCall>{kVersionQuery});
}

INSTANTIATE_TEST_SUITE_P(ExportedNames, EntryPointTest,
                         ::testing::Values("VSTPluginMain", "main", "MAIN"),
                         [](const auto& info) { return std::string(info.param); });

TEST(EntryPoint, MainIsAnotherNameForVSTPluginMain) {
  EXPECT_EQ(pluginLibrary().entryPoint("main"), pluginLibrary().entryPoint("VSTPluginMain"));
}

using FreshInstanceTest = HostedPluginTest;

TEST_F(FreshInstanceTest, RecordDeclaresTheDownmixer) {
  const AEffect& record = plugin.record();

  EXPECT_EQ(record.magic, kEffectMagic);
  EXPECT_EQ(record.numPrograms, kProgramCount);
  EXPECT_EQ(record.numParams, kParameterCount);
  EXPECT_EQ(record.numInputs, static_cast<std::int32_t>(kChannelCount));
  EXPECT_EQ(record.numOutputs, static_cast<std::int32_t>(kChannelCount));
  EXPECT_EQ(record.flags, kRecordFlags);
  EXPECT_EQ(record.uniqueID, kUniqueId);
  EXPECT_EQ(record.version, kPluginVersion);
  EXPECT_EQ(record.initialDelay, 0);
  EXPECT_EQ(record.ioRatio, 1.0f);
  EXPECT_NE(record.object, nullptr);
  EXPECT_EQ(record.user, nullptr);
}

TEST_F(FreshInstanceTest, RecordLeavesReservedFieldsZero) {
  const AEffect& record = plugin.record();

  EXPECT_EQ(record.resvd1, 0);
  EXPECT_EQ(record.resvd2, 0);
  EXPECT_EQ(record.realQualities, 0);
  EXPECT_EQ(record.offQualities, 0);
  EXPECT_TRUE(std::all_of(std::begin(record.future), std::end(record.future),
                          [](char byte) { return byte == 0; }));
}

TEST_F(FreshInstanceTest, RecordOffersEveryFunction) {
  const AEffect& record = plugin.record();

  EXPECT_NE(record.dispatcher, nullptr);
  EXPECT_NE(record.process, nullptr);
  EXPECT_NE(record.setParameter, nullptr);
  EXPECT_NE(record.getParameter, nullptr);
  EXPECT_NE(record.processReplacing, nullptr);
  EXPECT_NE(record.processDoubleReplacing, nullptr);
}

TEST(SeveralInstances, KeepTheirOwnSettingsAndHosts) {
  RecordingHost firstHost;
  RecordingHost secondHost;
  PluginInstance first(firstHost, vstPluginMain());
  PluginInstance second(secondHost, vstPluginMain());
  ASSERT_NE(&first.record(), &second.record());
  ASSERT_NE(first.record().object, second.record().object);

  char newName[] = "first only";
  first.dispatch(effSetProgramName, 0, 0, newName);
  first.setParameter(0, 0.5f);
  firstHost.clearCalls();
  secondHost.clearCalls();
  first.dispatch(effMainsChanged, 0, 1);

  EXPECT_FLOAT_EQ(second.getParameter(0), 1.0f);
  EXPECT_EQ(second.readText(effGetProgramName, kProgramNameLimit).text(),
            cutToLimit(kIdentity.effectName, kProgramNameLimit));
  EXPECT_FALSE(firstHost.calls().empty());
  EXPECT_TRUE(secondHost.calls().empty());
}

TEST(SeveralInstances, OutliveEachOther) {
  RecordingHost host;
  PluginInstance survivor(host, vstPluginMain());
  {
    PluginInstance closed(host, vstPluginMain());
    EXPECT_EQ(closed.close(), 1);
  }

  EXPECT_EQ(survivor.readText(effGetVendorString, kVendorStringLimit).text(), kIdentity.vendor);
  survivor.setParameter(6, 1.0f);
  EXPECT_FLOAT_EQ(survivor.getParameter(6), 1.0f);
}

}  // namespace
