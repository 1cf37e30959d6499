// CTovraStrings: the script's numbered string slots.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "runtime/tovra_description.h"

class CTovraStrings : public CTovraDescription {
 protected:
  void clearStrings() {
    stringSlots_.clear();
    stringCount_ = 0.0;
  }

  std::map<std::int32_t, std::string> stringSlots_;
  std::map<std::int32_t, std::string> reservedStrings_;  // kept for scripts that use a second table
  double stringCount_ = 0.0;
};
