// TTovra: the base of every translated effect. It declares the lifecycle and
// section operations with their default bodies; the translated class overrides
// what its script defines.
//
// The chain, each class adding one facility to the one before it (one header
// each, tovra_*.h):
//   CTovraMemory       numbered memory blocks
//   CTovraQuobe        the handle on the shell
//   CTovraSliders      the 128 control values, the control section
//   CTovraSamples      the sample channel variables, the block and per-sample sections
//   CTovraDescription  names, vendor, version, control descriptors
//   CTovraStrings      numbered string slots
//   CTovraFiles        file records: the state stream
//   CTovraFonts        fonts (for effects that draw)
//   CTovraGraphics     images and pen state (for effects that draw)
//   CTovraMouse        pointer state (for effects with an editor)
//   TTovra             lifecycle and section operations, this header
// and a translated effect derives from TTovra (the downmixer: TTovraEffect).
#pragma once

#include <cstdint>

#include "runtime/tovra_mouse.h"

class TTovra : public CTovraMouse {
 public:
  TTovra();
  ~TTovra() override = default;

  // Host open: empties memory and strings and zeroes the counters.
  virtual void open();
  virtual void close() {}
  virtual void suspend() {}
  // Host resume: the initialisation section, then the control section.
  virtual void resume();
  virtual void initSection() {}
  // Runs the initialisation section on the first call only.
  virtual void ensureInitialised();
  virtual void graphicsSection() {}
  // Drawing effects redraw their editor here; this plugin registers none.
  virtual void idle() {}
  virtual void serializeSection() {}
  // Loads a state chunk; answers the byte count it was given.
  virtual std::int32_t readState(const void* data, std::int32_t byteCount);
  // Saves a state chunk; answers its size in bytes, 0 when the effect saved nothing.
  virtual std::int32_t writeState(void** data);

 private:
  std::int32_t reserved_ = 0;
  std::int32_t lastRedrawTime_ = 0;
  std::int32_t initialisationCount_ = 0;
};
