// CTovraSliders: the 128 control values and the section that reacts to them.
#pragma once

#include <array>

#include "runtime/script_rules.h"
#include "runtime/tovra_quobe.h"

class CTovraSliders : public CTovraQuobe {
 public:
  virtual ~CTovraSliders() = default;

  virtual void controlSection() {}

  double controlValue(std::int32_t number) const { return controlValues_[number]; }
  void setControlValue(std::int32_t number, double value) { controlValues_[number] = value; }

 protected:
  std::array<double, kControlValueCount> controlValues_{};
};
