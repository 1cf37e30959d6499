// Text handed back through a text slot: the whole text with its terminating
// zero, cut only where it would not fit the slot's buffer.
#pragma once

#include <cstring>
#include <string>

#include "seam/effect_callbacks.h"

inline void copyCallbackText(const std::string& text, char* buffer) {
  const std::size_t length =
      text.size() < kCallbackTextCapacity ? text.size() : kCallbackTextCapacity - 1;
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}
