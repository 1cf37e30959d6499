#include "runtime/controls.h"

#include <charconv>
#include <cmath>

#include "runtime/script_rules.h"

namespace {

double currentValue(const CTovraDescription& effect, const ControlDescriptor& control) {
  return effect.controlValue(control.valueNumber);
}

std::string twoDecimals(double value) {
  char text[400];  // room for the largest double in fixed notation
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  return std::string(text, result.ptr);
}

// The list entry a value selects, clamped to the list before any conversion so
// that a value far outside the range, or NaN, still selects an entry.
std::size_t enumerationIndex(const ControlDescriptor& control, double value) {
  const double last = static_cast<double>(control.enumerationTexts.size() - 1);
  const double position = (value - control.minimum) * last / (control.maximum - control.minimum);
  if (!(position > 0.0)) return 0;
  if (position > last) return static_cast<std::size_t>(last);
  return static_cast<std::size_t>(position);
}

}  // namespace

double normalisedControlValue(const CTovraDescription& effect, std::int32_t index) {
  if (!effect.isControlIndex(index)) return 0.0;
  const ControlDescriptor& control = effect.descriptor(index);
  const long double value = currentValue(effect, control);
  return static_cast<double>((value - control.minimum) /
                             (static_cast<long double>(control.maximum) - control.minimum));
}

void setNormalisedControlValue(CTovraDescription& effect, std::int32_t index, double x) {
  if (!effect.isControlIndex(index) || !std::isfinite(x)) return;
  const ControlDescriptor& control = effect.descriptor(index);
  const double value = control.minimum + x * (control.maximum - control.minimum);
  const double quantised = control.step * std::floor((value + control.step * 0.5) / control.step);
  if (!scriptValuesDiffer(quantised, currentValue(effect, control))) return;
  effect.setControlValue(control.valueNumber, quantised);
  if (control.link != nullptr) *control.link = quantised;
  effect.controlSection();
}

std::string controlDisplayText(const CTovraDescription& effect, std::int32_t index) {
  if (!effect.isControlIndex(index)) return {};
  const ControlDescriptor& control = effect.descriptor(index);
  const double value = currentValue(effect, control);
  if (control.enumerationTexts.empty()) return twoDecimals(value);
  return control.enumerationTexts[enumerationIndex(control, value)];
}

std::string controlName(const CTovraDescription& effect, std::int32_t index) {
  return effect.isControlIndex(index) ? effect.descriptor(index).name : std::string();
}

std::string controlLabel(const CTovraDescription& effect, std::int32_t index) {
  return effect.isControlIndex(index) ? effect.descriptor(index).label : std::string();
}
