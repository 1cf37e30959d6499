// A host text buffer of a given limit, followed by guard bytes, prefilled so
// that every byte the plugin writes can be told apart from what it left alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TextReply {
 public:
  static constexpr std::size_t kGuardBytes = 16;
  static constexpr char kUntouched = '\xA5';

  explicit TextReply(std::size_t limit);

  char* buffer() { return bytes_.data(); }

  // The text before the first zero, or no text when the limit holds no zero.
  std::optional<std::string> text() const;

  // True when every byte after the terminator, the guard included, still
  // holds what the host put there: no padding, nothing past the limit.
  bool restUntouched() const;

  bool untouched() const;

  std::intptr_t answer = 0;

 private:
  std::size_t terminatorPosition() const;

  std::size_t limit_;
  std::vector<char> bytes_;
};
