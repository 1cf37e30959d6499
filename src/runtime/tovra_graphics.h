// CTovraGraphics: images and pen state for effects that draw. This plugin has
// no editor, so nothing here is read.
#pragma once

#include <cstdint>
#include <map>

#include "runtime/tovra_fonts.h"

class CTovraGraphics : public CTovraFonts {
 protected:
  std::map<std::int32_t, void*> images_;
  double penX_ = 0.0;
  double penY_ = 0.0;
  double redrawRate_ = 0.0;
};
