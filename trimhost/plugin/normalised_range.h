// The range of a normalised value, 0 to 1: a host sends no other, but a
// program file can hold others, and a plugin restoring its chunk may keep
// them.
#pragma once

#include <string>

#include "trimhost/plugin/plugin_session.h"

bool insideNormalisedRange(float normalised);

// The nearest value a host may send; NaN, near to nothing, becomes 0.
float intoNormalisedRange(float normalised);

// "7 master level = +100.0 dB (normalised 6.0555), outside its range", for warnings.
std::string outOfRangeText(const ParameterState& state);
