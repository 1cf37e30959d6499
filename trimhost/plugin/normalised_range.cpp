#include "trimhost/plugin/normalised_range.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "trimhost/settings/text_match.h"

bool insideNormalisedRange(float normalised) { return normalised >= 0.0f && normalised <= 1.0f; }

float intoNormalisedRange(float normalised) {
  return std::isnan(normalised) ? 0.0f : std::clamp(normalised, 0.0f, 1.0f);
}

std::string outOfRangeText(const ParameterState& state) {
  char normalised[32];
  std::snprintf(normalised, sizeof normalised, "%.9g", static_cast<double>(state.normalised));
  const std::string label = trimmed(state.label);
  return std::to_string(state.index) + " " + trimmed(state.name) + " = " + trimmed(state.display) +
         (label.empty() ? "" : " " + label) + " (normalised " + normalised + "), outside its range";
}
