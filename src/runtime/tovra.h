// TTovra: the base of every translated effect. It declares the lifecycle and
// section operations with their default bodies; the translated class overrides
// what its script defines.
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
