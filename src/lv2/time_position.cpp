#include "lv2/time_position.h"

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

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
  LV2_ATOM_SEQUENCE_FOREACH(events, event) {
    const LV2_Atom& body = event->body;
    if (body.type != urids_.object && body.type != urids_.blank) continue;
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&body);
    if (object->body.otype == urids_.position) read(object);
  }
}

void TimePosition::advance(std::uint32_t frames, double sampleRate) {
  if (known_ && sampleRate > 0.0) beat_ += frames * speed_ * tempo_ / (60.0 * sampleRate);
}

double TimePosition::quarterNotes() const {
  return denominator_ > 0.0 ? beat_ * 4.0 / denominator_ : beat_;
}

void TimePosition::read(const LV2_Atom_Object* position) {
  const LV2_Atom* beatsPerMinute = nullptr;
  const LV2_Atom* beatsPerBar = nullptr;
  const LV2_Atom* beatUnit = nullptr;
  const LV2_Atom* beat = nullptr;
  const LV2_Atom* speed = nullptr;
  lv2_atom_object_get(position, urids_.beatsPerMinute, &beatsPerMinute, urids_.beatsPerBar,
                      &beatsPerBar, urids_.beatUnit, &beatUnit, urids_.beat, &beat, urids_.speed,
                      &speed, 0);
  readNumber(beatsPerMinute, tempo_);
  readNumber(beatsPerBar, numerator_);
  readNumber(beatUnit, denominator_);
  readNumber(beat, beat_);
  readNumber(speed, speed_);
  known_ = true;
}

void TimePosition::readNumber(const LV2_Atom* atom, double& into) const {
  if (atom == nullptr) return;
  const void* value = atom + 1;
  if (atom->type == urids_.floatType) {
    into = *static_cast<const float*>(value);
  } else if (atom->type == urids_.doubleType) {
    into = *static_cast<const double*>(value);
  } else if (atom->type == urids_.intType) {
    into = *static_cast<const std::int32_t*>(value);
  } else if (atom->type == urids_.longType) {
    into = static_cast<double>(*static_cast<const std::int64_t*>(value));
  }
}
