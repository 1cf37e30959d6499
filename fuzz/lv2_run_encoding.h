// How fuzz_lv2_run reads its input as an LV2 host's calls, shared with the
// seed generator so that both agree byte for byte (fields little-endian, read
// as byte_fields.h reads them: missing bytes are zeros).
//
// The input starts with an i32, the nominal block length the options feature
// gives (0: no options feature), then a sequence of steps: an action byte,
// taken modulo the number of actions, followed by that action's fields.
#pragma once

#include <cstdint>
#include <vector>

#include "byte_fields.h"

enum class Lv2Action : std::uint8_t {
  // u8 port (modulo the control ports), f32 value: any bits.
  SetControl,
  // A time:Position object as the next run's event: u8 shape, whose low 3
  // bits are the number of properties, whose bit 6 damages the object's size
  // and whose bit 7 makes the object an atom:Blank; with bit 6, a u32 that
  // the object's size field says instead of its true size; then for each
  // property u8 key and u8 type (each modulo its table below) and a payload,
  // the value's bytes, whose count is the property's size.
  AddTimePosition,
  // Any bytes as the body of the next run's event, its atom header included:
  // a payload, padded with zeros to 8 bytes.
  AddRawEvent,
  Activate,
  Deactivate,
  // u16 frame count (modulo the block length + 1), f32 amplitude of the
  // inputs. The time port gets the events added since the last run, in a
  // sequence whose size is exactly theirs; then they are gone.
  Run,
};

constexpr std::uint8_t kLv2ActionCount = static_cast<std::uint8_t>(Lv2Action::Run) + 1;

// Property keys: time:beatsPerMinute, beatsPerBar, beatUnit, beat, speed,
// then one the plugin does not read (time:frame).
constexpr std::uint8_t kTimeKeyCount = 6;
// Value types: atom:Float, Double, Int, Long, then one the plugin does not
// read (atom:Bool).
constexpr std::uint8_t kTimeTypeCount = 5;
constexpr std::uint8_t kPropertyCountMask = 0x07;
constexpr std::uint8_t kDamagedObjectSize = 0x40;
constexpr std::uint8_t kBlankObject = 0x80;

// The frames of a run never exceed this, whatever the block length: every
// group form and its tail of single frames is reached long before, and a
// longer run takes only longer.
constexpr std::int32_t kMaxRunFrames = 256;

struct TimeProperty {
  std::uint8_t key;
  std::uint8_t type;
  std::vector<std::uint8_t> value;
};

class Lv2RunWriter : public FieldWriter {
 public:
  explicit Lv2RunWriter(std::int32_t nominalBlockLength) { put(nominalBlockLength); }

  void setControl(std::uint8_t port, float value) {
    put(Lv2Action::SetControl);
    put(port);
    put(value);
  }

  void addTimePosition(const std::vector<TimeProperty>& properties, std::uint8_t shapeFlags = 0,
                       std::uint32_t damagedObjectSize = 0) {
    put(Lv2Action::AddTimePosition);
    put(static_cast<std::uint8_t>(properties.size() | shapeFlags));
    if ((shapeFlags & kDamagedObjectSize) != 0) put(damagedObjectSize);
    for (const TimeProperty& property : properties) {
      put(property.key);
      put(property.type);
      putPayload(property.value);
    }
  }

  void addRawEvent(const std::vector<std::uint8_t>& atom) {
    put(Lv2Action::AddRawEvent);
    putPayload(atom);
  }

  void activate() { put(Lv2Action::Activate); }
  void deactivate() { put(Lv2Action::Deactivate); }

  void run(std::uint16_t frames, float amplitude) {
    put(Lv2Action::Run);
    put(frames);
    put(amplitude);
  }
};
