// The host's view of the controls: normalised values, quantised changes and
// display texts. A parameter index outside the descriptors is never used to
// read or write.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/tovra_description.h"

// (value - minimum) / (maximum - minimum), not clamped; 0 for an unknown index.
double normalisedControlValue(const CTovraDescription& effect, std::int32_t index);

// Maps x onto the control's range, rounds to its step and, when the value moves
// by 0.00001 or more, stores it and runs the control section. A non-finite x
// or an unknown index changes nothing.
void setNormalisedControlValue(CTovraDescription& effect, std::int32_t index, double x);

// The value with two decimals, or for a list control the text it selects.
// Empty for an unknown index.
std::string controlDisplayText(const CTovraDescription& effect, std::int32_t index);
std::string controlName(const CTovraDescription& effect, std::int32_t index);
std::string controlLabel(const CTovraDescription& effect, std::int32_t index);
