#include "trimhost/cli/json_line.h"

#include <cstdio>

namespace {

unsigned char byteAt(const std::string& text, std::size_t at) {
  return at < text.size() ? static_cast<unsigned char>(text[at]) : 0;
}

// The length of the valid UTF-8 sequence that starts at `at`, 0 for none:
// no overlong forms, no surrogates, nothing beyond U+10FFFF.
std::size_t sequenceLength(const std::string& text, std::size_t at) {
  const unsigned char lead = byteAt(text, at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;  // the second byte's range
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  const unsigned char second = byteAt(text, at + 1);
  if (second < low || second > high) return 0;
  for (std::size_t next = 2; next < length; ++next)
    if ((byteAt(text, at + next) & 0xC0) != 0x80) return 0;
  return length;
}

void appendEscape(std::string& out, unsigned codeUnit) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", codeUnit);
  out += escape;
}

void appendAscii(std::string& out, char c) {
  switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      if (static_cast<unsigned char>(c) < 0x20) {
        appendEscape(out, static_cast<unsigned char>(c));
      } else {
        out += c;
      }
  }
}

void appendString(std::string& out, const std::string& text) {
  out += '"';
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = sequenceLength(text, at);
    if (length == 0) {
      appendEscape(out, 0xDC00 + byteAt(text, at));
      ++at;
    } else if (length == 1) {
      appendAscii(out, text[at++]);
    } else {
      out.append(text, at, length);
      at += length;
    }
  }
  out += '"';
}

void appendValue(std::string& out, const nlohmann::ordered_json& value) {
  if (value.is_string()) return appendString(out, value.get_ref<const std::string&>());
  if (!value.is_structured()) {
    out += value.dump();
    return;
  }
  out += value.is_object() ? '{' : '[';
  const char* separator = "";
  for (const auto& member : value.items()) {
    out += separator;
    separator = ",";
    if (value.is_object()) {
      appendString(out, member.key());
      out += ':';
    }
    appendValue(out, member.value());
  }
  out += value.is_object() ? '}' : ']';
}

}  // namespace

std::string jsonLine(const nlohmann::ordered_json& value) {
  std::string out;
  appendValue(out, value);
  return out;
}
