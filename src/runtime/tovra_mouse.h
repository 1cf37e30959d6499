// CTovraMouse: pointer state for effects with an editor; unread in this plugin.
#pragma once

#include "runtime/tovra_graphics.h"

class CTovraMouse : public CTovraGraphics {
 protected:
  double mouseButtons_ = 0.0;
  double mouseX_ = 0.0;
  double mouseY_ = 0.0;
};
