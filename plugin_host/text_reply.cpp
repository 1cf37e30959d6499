#include "plugin_host/text_reply.h"

#include <algorithm>

TextReply::TextReply(std::size_t limit) : limit_(limit), bytes_(limit + kGuardBytes, kUntouched) {}

std::size_t TextReply::terminatorPosition() const {
  const auto end = bytes_.begin() + static_cast<std::ptrdiff_t>(limit_);
  return static_cast<std::size_t>(std::find(bytes_.begin(), end, '\0') - bytes_.begin());
}

std::optional<std::string> TextReply::text() const {
  const std::size_t terminator = terminatorPosition();
  if (terminator == limit_) {
    return std::nullopt;
  }
  return std::string(bytes_.data(), terminator);
}

bool TextReply::restUntouched() const {
  const std::size_t terminator = terminatorPosition();
  return terminator < limit_ &&
         std::all_of(bytes_.begin() + static_cast<std::ptrdiff_t>(terminator) + 1, bytes_.end(),
                     [](char byte) { return byte == kUntouched; });
}

bool TextReply::untouched() const {
  return std::all_of(bytes_.begin(), bytes_.end(), [](char byte) { return byte == kUntouched; });
}
