#include "runtime/tovra.h"

#include <limits>

TTovra::TTovra() { TTovra::open(); }

void TTovra::open() {
  clearMemory();
  clearStrings();
  lastRedrawTime_ = 0;
  reserved_ = 0;
}

void TTovra::resume() {
  initSection();
  controlSection();
}

void TTovra::ensureInitialised() {
  if (initialisationCount_ == 0) initSection();
  if (initialisationCount_ < std::numeric_limits<std::int32_t>::max()) ++initialisationCount_;
}
