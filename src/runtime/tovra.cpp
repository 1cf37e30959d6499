#include "runtime/tovra.h"

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
  ++initialisationCount_;
}
