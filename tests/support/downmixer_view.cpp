#include "downmixer_view.h"

#include <algorithm>
#include <iterator>

double positionOf(std::int32_t index, double value) {
  const ParameterView& parameter = kParameters[index];
  return (value - parameter.minimum) / (parameter.maximum - parameter.minimum);
}

double levelPosition(double decibels) { return positionOf(kFirstLevelIndex, decibels); }

double masterPosition(double decibels) { return positionOf(kMasterLevelIndex, decibels); }

namespace {

template <std::size_t Count>
const TextOpcode* findText(const TextOpcode (&texts)[Count], std::int32_t opcode) {
  const auto found =
      std::find_if(std::begin(texts), std::end(texts),
                   [opcode](const TextOpcode& text) { return text.opcode == opcode; });
  return found != std::end(texts) ? found : nullptr;
}

}  // namespace

std::size_t textLimitOf(std::int32_t opcode) {
  const TextOpcode* text = findText(kParameterTexts, opcode);
  if (text == nullptr) text = findText(kInstanceTexts, opcode);
  return text != nullptr ? text->limit : 0;
}

std::string cutToLimit(const std::string& text, std::size_t limit) {
  return text.substr(0, limit - 1);
}
