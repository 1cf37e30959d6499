// CTovraFonts: fonts for effects that draw. This plugin has no editor, so
// nothing here is read.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "runtime/tovra_files.h"

struct FontRecord {
  std::string faceName;
  double size = 0.0;
  std::int32_t style = 0;
};

class CTovraFonts : public CTovraFiles {
 protected:
  std::map<std::int32_t, FontRecord> fonts_;
  double textHeight_ = 0.0;
};
