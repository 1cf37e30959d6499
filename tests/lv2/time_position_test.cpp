// The LV2 shell's time position: what a host's time:Position objects set, and
// how the position moves on between them.
#include "lv2/time_position.h"

#include <gtest/gtest.h>
#include <lv2/atom/forge.h>
#include <lv2/time/time.h>

#include <array>
#include <cstdint>
#include <cstring>
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
  // Overwrites the 32-bit field at this byte offset, as damage on the way would.
  void setField(std::size_t offset, std::uint32_t value) {
    std::memcpy(buffer_.data() + offset, &value, sizeof value);
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

// Byte offsets in a sequence of one position as Sequence::add forges it: the
// sequence's size, the event's atom size, then each property's value size
// (its float, float, int, double and float padded to 8 bytes each).
constexpr std::size_t kSequenceSize = 0;
constexpr std::size_t kObjectSize = 24;
constexpr std::size_t valueSizeOffset(int property) { return 48 + 24 * property; }
// The sizes as forged: the sequence's body and event header, then the object's
// header and five properties of 24 bytes.
constexpr std::uint32_t kObjectBytes = 8 + 5 * 24;
constexpr std::uint32_t kSequenceBytes = 8 + 16 + kObjectBytes;
constexpr std::uint32_t kSpeedOffset = 8 + 4 * 24;  // in the object

// A host's buffer holds more than its sizes say; nothing past a size is read,
// though reading it would not fault.
TEST(TimePosition, ReadsNothingPastTheSizesItIsGiven) {
  struct Row {
    const char* what;
    std::size_t offset;
    std::uint32_t value;
    bool known;
    double tempo;
    double numerator;
    bool playing;
  };
  const Row rows[] = {
      {"well formed", kSequenceSize, kSequenceBytes, true, 120.0, 3.0, true},
      {"sequence ends inside the event header", kSequenceSize, 8 + 12, false, 0.0, 0.0, false},
      {"event runs past the sequence", kSequenceSize, kSequenceBytes - 8, false, 0.0, 0.0, false},
      {"event of 4 GiB", kObjectSize, 0xFFFFFFF9u, false, 0.0, 0.0, false},
      {"object shorter than its header", kObjectSize, 4, false, 0.0, 0.0, false},
      {"object ends inside speed's header", kObjectSize, kSpeedOffset + 8, true, 120.0, 3.0, false},
      {"speed's value runs past the object", kObjectSize, kSpeedOffset + 18, true, 120.0, 3.0,
       false},
      {"tempo's float of 2 bytes", valueSizeOffset(0), 2, true, 0.0, 3.0, true},
      {"speed's float of 0 bytes", valueSizeOffset(4), 0, true, 120.0, 3.0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    UridMap urids;
    TimePosition time(urids.feature());
    Sequence events(urids);
    events.add({120.0f, 3.0f, 4, 8.0, 1.0f});
    events.setField(row.offset, row.value);
    time.receive(events.atoms());
    EXPECT_EQ(time.known(), row.known);
    EXPECT_EQ(time.tempo(), row.tempo);
    EXPECT_EQ(time.numerator(), row.numerator);
    EXPECT_EQ(time.playing(), row.playing);
  }
}

}  // namespace
