// The LV2 shell's time position: what a host's time:Position objects set, and
// how the position moves on between them.
#include "lv2/time_position.h"

#include <gtest/gtest.h>
#include <lv2/atom/forge.h>
#include <lv2/time/time.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace {

class UridMap {
 public:
  UridMap() : feature_{this, map} {}
  LV2_URID_Map* feature() { return &feature_; }
  LV2_URID operator()(const char* uri) { return map(this, uri); }

 private:
  static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
    auto& uris = static_cast<UridMap*>(handle)->uris_;
    return uris.emplace(uri, static_cast<LV2_URID>(uris.size() + 1)).first->second;
  }
  std::map<std::string, LV2_URID> uris_;
  LV2_URID_Map feature_;
};

// One time:Position as a host sends it; numbers typed as hosts type them.
struct Position {
  float beatsPerMinute;
  float beatsPerBar;
  std::int32_t beatUnit;
  double beat;
  float speed;
};

class Sequence {
 public:
  explicit Sequence(UridMap& urids) : urids_(urids) {
    lv2_atom_forge_init(&forge_, urids.feature());
    lv2_atom_forge_set_buffer(&forge_, buffer_.data(), buffer_.size());
    lv2_atom_forge_sequence_head(&forge_, &frame_, 0);
  }
  Sequence& add(const Position& position) {
    UridMap& urid = urids_;
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(&forge_, 0);
    lv2_atom_forge_object(&forge_, &object, 0, urid(LV2_TIME__Position));
    lv2_atom_forge_key(&forge_, urid(LV2_TIME__beatsPerMinute));
    lv2_atom_forge_float(&forge_, position.beatsPerMinute);
    lv2_atom_forge_key(&forge_, urid(LV2_TIME__beatsPerBar));
    lv2_atom_forge_float(&forge_, position.beatsPerBar);
    lv2_atom_forge_key(&forge_, urid(LV2_TIME__beatUnit));
    lv2_atom_forge_int(&forge_, position.beatUnit);
    lv2_atom_forge_key(&forge_, urid(LV2_TIME__beat));
    lv2_atom_forge_double(&forge_, position.beat);
    lv2_atom_forge_key(&forge_, urid(LV2_TIME__speed));
    lv2_atom_forge_float(&forge_, position.speed);
    lv2_atom_forge_pop(&forge_, &object);
    return *this;
  }
  const LV2_Atom_Sequence* atoms() const {
    return reinterpret_cast<const LV2_Atom_Sequence*>(buffer_.data());
  }

 private:
  alignas(8) std::array<std::uint8_t, 1024> buffer_{};
  LV2_Atom_Forge forge_{};
  LV2_Atom_Forge_Frame frame_{};
  UridMap& urids_;
};

TEST(TimePosition, FollowsTheHostsPositionsAndMovesOnBetweenThem) {
  struct Row {
    const char* what;
    Position position;
    std::uint32_t framesAfter;  // at 48 kHz
    double quarterNotesBefore;
    double quarterNotesAfter;
    bool playing;
  };
  const Row rows[] = {
      {"playing in quarter beats", {120.0f, 3.0f, 4, 8.0, 1.0f}, 24000, 8.0, 9.0, true},
      {"eighth-note beats count half", {120.0f, 6.0f, 8, 8.0, 1.0f}, 48000, 4.0, 5.0, true},
      {"stopped transport stays put", {90.0f, 4.0f, 4, 2.5, 0.0f}, 48000, 2.5, 2.5, false},
      {"half speed", {60.0f, 4.0f, 4, 0.0, 0.5f}, 96000, 0.0, 1.0, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    UridMap urids;
    TimePosition time(urids.feature());
    Sequence events(urids);
    time.receive(events.atoms());
    EXPECT_FALSE(time.known()) << "an empty sequence tells nothing";
    events.add(row.position);
    time.receive(events.atoms());
    ASSERT_TRUE(time.known());
    EXPECT_EQ(time.tempo(), row.position.beatsPerMinute);
    EXPECT_EQ(time.numerator(), row.position.beatsPerBar);
    EXPECT_EQ(time.denominator(), row.position.beatUnit);
    EXPECT_EQ(time.playing(), row.playing);
    EXPECT_DOUBLE_EQ(time.quarterNotes(), row.quarterNotesBefore);
    time.advance(row.framesAfter, 48000.0);
    time.receive(nullptr);
    EXPECT_DOUBLE_EQ(time.quarterNotes(), row.quarterNotesAfter);
  }
}

TEST(TimePosition, TheLastPositionOfABlockHoldsAndNothingIsKnownWithoutAMap) {
  UridMap urids;
  TimePosition time(urids.feature());
  Sequence events(urids);
  events.add({100.0f, 4.0f, 4, 1.0, 1.0f}).add({140.0f, 7.0f, 8, 3.0, 0.0f});
  time.receive(events.atoms());
  EXPECT_EQ(time.tempo(), 140.0);
  EXPECT_EQ(time.numerator(), 7.0);
  EXPECT_FALSE(time.playing());

  TimePosition unmapped(nullptr);
  unmapped.receive(events.atoms());
  unmapped.advance(4800, 48000.0);
  EXPECT_FALSE(unmapped.known());
  EXPECT_EQ(unmapped.quarterNotes(), 0.0);
}

}  // namespace
