// The runtime's side of the effect-callback table.
#pragma once

#include "runtime/effect_callbacks.h"

// A table with slots 0 to 6 and 13 to 28 filled; the editor slots 7 to 12
// stay null.
EffectCallbacks runtimeCallbacks();
