#include "runtime/tovra_description.h"

#include <utility>

std::int32_t CTovraDescription::defineControl(std::int32_t valueNumber, double* link,
                                              double defaultValue, double minimum, double maximum,
                                              double step, std::string folder,
                                              std::string spareText, std::string label,
                                              std::string name) {
  setControlValue(valueNumber, defaultValue);
  ControlDescriptor descriptor;
  descriptor.valueNumber = valueNumber;
  descriptor.link = link;
  descriptor.defaultValue = defaultValue;
  descriptor.minimum = minimum;
  descriptor.maximum = maximum;
  descriptor.step = step;
  descriptor.folder = std::move(folder);
  descriptor.spareText = std::move(spareText);
  descriptor.label = std::move(label);
  descriptor.name = std::move(name);
  descriptors_.push_back(std::move(descriptor));
  descriptors_.back().listed = true;
  return controlCount() - 1;
}

void CTovraDescription::appendEnumerationText(std::string text) {
  descriptors_.back().enumerationTexts.push_back(std::move(text));
}
