// The host's musical time as an LV2 host tells it: time:Position objects on
// the plugin's time port, sent when the transport changes rather than every
// block, so the position is carried forward between them. The time services
// read it; before the host has sent any, they answer as a VST host without
// time information makes them answer.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cstdint>

class TimePosition {
 public:
  // Without a map (a host that gives none) no position is ever read.
  explicit TimePosition(const LV2_URID_Map* map);

  // Takes the time:Position objects of a block's events, before the block
  // runs; a null sequence (the port left unconnected) brings none. Reads
  // nothing outside the sequence's size: an event or property that runs past
  // its container ends the reading, and a number too short for its type is
  // left out.
  void receive(const LV2_Atom_Sequence* events);
  // Moves the position on by a block that has run, at the tempo and speed
  // the host gave last.
  void advance(std::uint32_t frames, double sampleRate);

  bool known() const { return known_; }
  double tempo() const { return tempo_; }
  double numerator() const { return numerator_; }
  double denominator() const { return denominator_; }
  bool playing() const { return speed_ != 0.0; }
  // Quarter notes from the start, where the host's beat is a 1/beatUnit note.
  double quarterNotes() const;

 private:
  struct Urids {
    LV2_URID object = 0, blank = 0, position = 0;
    LV2_URID floatType = 0, doubleType = 0, intType = 0, longType = 0;
    LV2_URID beatsPerMinute = 0, beatsPerBar = 0, beatUnit = 0, beat = 0, speed = 0;
  };

  void read(const LV2_Atom_Object& position);
  void readNumber(const LV2_Atom* atom, double& into) const;

  Urids urids_;
  bool known_ = false;
  double tempo_ = 0.0;
  double numerator_ = 0.0;
  double denominator_ = 0.0;
  double beat_ = 0.0;
  double speed_ = 0.0;
};
