#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "downmixer_view.h"
#include "recording_effect.h"

namespace {

std::vector<float> floatsOf(const void* data, std::int32_t bytes) {
  std::vector<float> values(static_cast<std::size_t>(bytes) / sizeof(float));
  std::memcpy(values.data(), data, values.size() * sizeof(float));
  return values;
}

TEST(FileRecord, TransfersOneValuePerCallInEachMode) {
  FileRecord record;
  double value = 0.1;
  record.transfer(value);  // closed: nothing
  EXPECT_TRUE(record.buffer.empty());

  record.reset(FileMode::Writing);
  record.position = 2;
  record.transfer(value);
  EXPECT_EQ(record.buffer, (std::vector<float>{0.0f, 0.0f, 0.1f}));
  EXPECT_EQ(record.position, 3);

  record.mode = FileMode::Reading;
  record.position = 2;
  double read = 5.0;
  record.transfer(read);
  EXPECT_EQ(read, static_cast<double>(0.1f));
  record.transfer(read);  // past the end: unchanged
  EXPECT_EQ(read, static_cast<double>(0.1f));
  EXPECT_EQ(record.position, 3);

  record.flag1 = true;
  record.flag2 = false;
  record.reset(FileMode::Reading);
  EXPECT_TRUE(record.buffer.empty());
  EXPECT_EQ(record.position, 0);
  EXPECT_FALSE(record.flag1);
  EXPECT_FALSE(record.flag2);  // not the reset's business
}

struct StateTest : ::testing::Test {
  RecordingEffect effect;
  StateTest() { effect.serializedValues = 2; }
};

TEST_F(StateTest, WriteStartsWithTheMarkerThenTheSerializedValues) {
  effect.setControlValue(1, 0.1);
  effect.setControlValue(2, -12.3);
  void* data = nullptr;
  const auto bytes = effect.writeState(&data);
  ASSERT_EQ(bytes, 12);
  EXPECT_EQ(std::memcmp(data, kMarkerBytes.data(), kMarkerBytes.size()), 0);
  EXPECT_EQ(floatsOf(data, bytes), (std::vector<float>{kStateMarker, 0.1f, -12.3f}));
}

TEST_F(StateTest, AnEffectThatSavesNothingGivesNoChunk) {
  effect.serializedValues = 0;
  void* data = &effect;
  EXPECT_EQ(effect.writeState(&data), 0);
  EXPECT_EQ(data, &effect);
  EXPECT_EQ(effect.writeState(nullptr), 0);
}

TEST_F(StateTest, ReadLoadsValuesThenRunsTheControlSectionOnce) {
  const float chunk[] = {kStateMarker, 0.5f, 7.0f, 9.0f};
  effect.setControlValue(3, 4.0);
  EXPECT_EQ(effect.readState(chunk, sizeof chunk), 16);
  EXPECT_EQ(effect.controlValue(1), 0.5);
  EXPECT_EQ(effect.controlValue(2), 7.0);
  EXPECT_EQ(effect.controlValue(3), 4.0);
  EXPECT_EQ(effect.controlRuns, 1);
}

TEST_F(StateTest, AShortChunkLoadsWhatItHolds) {
  const float chunk[] = {kStateMarker, 0.5f};
  effect.setControlValue(2, 3.0);
  EXPECT_EQ(effect.readState(chunk, 8), 8);
  EXPECT_EQ(effect.controlValue(1), 0.5);
  EXPECT_EQ(effect.controlValue(2), 3.0);
  EXPECT_EQ(effect.readState(chunk, 6), 6);  // trailing bytes ignored: marker only
  EXPECT_EQ(effect.controlRuns, 2);
  EXPECT_EQ(effect.controlValue(1), 0.5);
}

TEST_F(StateTest, UnmarkedOrTinyChunksAreAcceptedAndIgnored) {
  const float unmarked[] = {0.0f, 0.5f};
  const float nanMarker[] = {std::numeric_limits<float>::quiet_NaN(), 0.5f};
  const float marked[] = {kStateMarker, 0.5f};
  EXPECT_EQ(effect.readState(unmarked, 8), 8);
  EXPECT_EQ(effect.readState(nanMarker, 8), 8);
  EXPECT_EQ(effect.readState(marked, 3), 3);
  EXPECT_EQ(effect.readState(marked, 0), 0);
  EXPECT_EQ(effect.readState(nullptr, 8), 8);
  EXPECT_EQ(effect.readState(marked, -8), -8);
  EXPECT_EQ(effect.controlValue(1), 0.0);
  EXPECT_EQ(effect.controlRuns, 0);
  EXPECT_EQ(effect.initRuns, 0);
}

TEST_F(StateTest, AChunkTooLargeToBufferChangesNothing) {
  const float chunk[] = {kStateMarker, 0.5f};
  effect.setControlValue(1, 3.0);
  constexpr std::int32_t kHuge = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(effect.readState(chunk, kHuge), kHuge);  // the buffer cannot be had
  EXPECT_EQ(effect.controlValue(1), 3.0);
  EXPECT_EQ(effect.controlRuns, 0);
  EXPECT_EQ(effect.readState(chunk, sizeof chunk), 8);  // and the stream still works
  EXPECT_EQ(effect.controlValue(1), 0.5);
}

TEST_F(StateTest, LoadsTheBufferItsLastSaveHandedOut) {
  effect.setControlValue(1, 0.25);
  effect.setControlValue(2, -4.0);
  void* data = nullptr;
  const auto bytes = effect.writeState(&data);
  effect.setControlValue(1, 0.0);
  effect.setControlValue(2, 0.0);
  EXPECT_EQ(effect.readState(data, bytes), bytes);
  EXPECT_EQ(effect.controlValue(1), 0.25);
  EXPECT_EQ(effect.controlValue(2), -4.0);
}

TEST_F(StateTest, OnlyTheFirstLoadInitialises) {
  const float chunk[] = {kStateMarker, 1.0f};
  effect.readState(chunk, 8);
  effect.resume();
  effect.readState(chunk, 8);
  EXPECT_EQ(effect.initRuns, 2);  // the first load and the resume
  EXPECT_EQ(effect.controlRuns, 3);
}

TEST_F(StateTest, ValuesComeBackAsTheNearestFloat) {
  effect.setControlValue(1, 0.1);
  effect.setControlValue(2, std::numeric_limits<double>::infinity());
  void* data = nullptr;
  const auto bytes = effect.writeState(&data);
  const std::vector<float> saved = floatsOf(data, bytes);
  effect.setControlValue(1, 0.0);
  effect.readState(saved.data(), bytes);
  EXPECT_EQ(effect.controlValue(1), static_cast<double>(0.1f));
  EXPECT_EQ(effect.controlValue(2), std::numeric_limits<double>::infinity());
}

}  // namespace
