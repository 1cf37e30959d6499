#include "lv2/time_position.h"

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

#include <cstddef>
#include <cstring>
#include <utility>

namespace {

// Calls visit(item) for each item of a packed run of them within `size`
// bytes: the events of a sequence or the properties of an object, each an
// Item that ends in an atom header and is followed by that atom's body,
// padded to 64 bits. Only the host's size of the sequence can be trusted, and
// every size inside it may be damaged: an item that does not lie wholly
// within the run ends the walk, since nothing after it can be found.
template <typename Item, typename Visit>
void forEachItem(const void* first, std::size_t size, LV2_Atom Item::*atom, Visit&& visit) {
  const auto* bytes = static_cast<const std::uint8_t*>(first);
  std::size_t offset = 0;
  while (offset < size && size - offset >= sizeof(Item)) {
    const auto& item = *reinterpret_cast<const Item*>(bytes + offset);
    const std::size_t bodySize = (item.*atom).size;
    if (bodySize > size - offset - sizeof(Item)) return;
    visit(item);
    offset += sizeof(Item) + lv2_atom_pad_size(bodySize);
  }
}

// The number an atom of this value type holds, when its body holds one.
template <typename Value>
void readValue(const LV2_Atom& atom, double& into) {
  if (atom.size < sizeof(Value)) return;
  Value value;
  std::memcpy(&value, &atom + 1, sizeof value);
  into = static_cast<double>(value);
}

}  // namespace

TimePosition::TimePosition(const LV2_URID_Map* map) {
  if (map == nullptr) return;
  const auto urid = [map](const char* uri) { return map->map(map->handle, uri); };
  urids_.object = urid(LV2_ATOM__Object);
  urids_.blank = urid(LV2_ATOM__Blank);
  urids_.position = urid(LV2_TIME__Position);
  urids_.floatType = urid(LV2_ATOM__Float);
  urids_.doubleType = urid(LV2_ATOM__Double);
  urids_.intType = urid(LV2_ATOM__Int);
  urids_.longType = urid(LV2_ATOM__Long);
  urids_.beatsPerMinute = urid(LV2_TIME__beatsPerMinute);
  urids_.beatsPerBar = urid(LV2_TIME__beatsPerBar);
  urids_.beatUnit = urid(LV2_TIME__beatUnit);
  urids_.beat = urid(LV2_TIME__beat);
  urids_.speed = urid(LV2_TIME__speed);
}

void TimePosition::receive(const LV2_Atom_Sequence* events) {
  if (events == nullptr || urids_.position == 0) return;
  if (events->atom.size < sizeof(LV2_Atom_Sequence_Body)) return;
  forEachItem(&events->body + 1, events->atom.size - sizeof(LV2_Atom_Sequence_Body),
              &LV2_Atom_Event::body, [this](const LV2_Atom_Event& event) {
                const LV2_Atom& body = event.body;
                if (body.type != urids_.object && body.type != urids_.blank) return;
                if (body.size < sizeof(LV2_Atom_Object_Body)) return;
                const auto& object = reinterpret_cast<const LV2_Atom_Object&>(body);
                if (object.body.otype == urids_.position) read(object);
              });
}

void TimePosition::advance(std::uint32_t frames, double sampleRate) {
  if (known_ && sampleRate > 0.0) beat_ += frames * speed_ * tempo_ / (60.0 * sampleRate);
}

double TimePosition::quarterNotes() const {
  return denominator_ > 0.0 ? beat_ * 4.0 / denominator_ : beat_;
}

// Each property counts where it first occurs, as lv2_atom_object_get finds it.
void TimePosition::read(const LV2_Atom_Object& position) {
  const LV2_Atom* beatsPerMinute = nullptr;
  const LV2_Atom* beatsPerBar = nullptr;
  const LV2_Atom* beatUnit = nullptr;
  const LV2_Atom* beat = nullptr;
  const LV2_Atom* speed = nullptr;
  const std::pair<LV2_URID, const LV2_Atom**> wanted[] = {{urids_.beatsPerMinute, &beatsPerMinute},
                                                          {urids_.beatsPerBar, &beatsPerBar},
                                                          {urids_.beatUnit, &beatUnit},
                                                          {urids_.beat, &beat},
                                                          {urids_.speed, &speed}};
  forEachItem(&position.body + 1, position.atom.size - sizeof(LV2_Atom_Object_Body),
              &LV2_Atom_Property_Body::value, [&wanted](const LV2_Atom_Property_Body& property) {
                for (const auto& [key, found] : wanted)
                  if (property.key == key && *found == nullptr) *found = &property.value;
              });
  readNumber(beatsPerMinute, tempo_);
  readNumber(beatsPerBar, numerator_);
  readNumber(beatUnit, denominator_);
  readNumber(beat, beat_);
  readNumber(speed, speed_);
  known_ = true;
}

void TimePosition::readNumber(const LV2_Atom* atom, double& into) const {
  if (atom == nullptr) return;
  if (atom->type == urids_.floatType) {
    readValue<float>(*atom, into);
  } else if (atom->type == urids_.doubleType) {
    readValue<double>(*atom, into);
  } else if (atom->type == urids_.intType) {
    readValue<std::int32_t>(*atom, into);
  } else if (atom->type == urids_.longType) {
    readValue<std::int64_t>(*atom, into);
  }
}
