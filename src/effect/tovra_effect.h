// TTovraEffect: the translated downmixer.
#pragma once

#include "runtime/system_values.h"
#include "runtime/tovra.h"

class TTovraEffect : public TTovra {
 public:
  TTovraEffect();

  void initSection() override;
  void controlSection() override;
  void blockSection() override;
  void sampleSection() override;

 private:
  void describe();
  void defineControls();

  SystemValues system_;
};
