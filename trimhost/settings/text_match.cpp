#include "trimhost/settings/text_match.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

// Text lengths of a text cut to fit a buffer: 8 bytes, the published size for
// parameter names, labels and display texts, and 32 bytes, which some
// plugins (ours among them) use for parameter names. The zero takes a byte.
constexpr std::size_t kCutTextLengths[] = {7, 31};

char folded(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool equalIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return folded(x) == folded(y); });
}

bool mayHaveBeenCut(const std::string& text) {
  return std::find(std::begin(kCutTextLengths), std::end(kCutTextLengths), text.size()) !=
         std::end(kCutTextLengths);
}

bool startsWithCutText(const std::string& request, const std::string& text) {
  return mayHaveBeenCut(text) && request.size() > text.size() &&
         equalIgnoringCase(request.substr(0, text.size()), text);
}

template <typename Predicate>
std::vector<std::size_t> positionsWhere(const std::vector<std::string>& texts, Predicate matches) {
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < texts.size(); ++i)
    if (matches(texts[i])) positions.push_back(i);
  return positions;
}

}  // namespace

std::vector<std::size_t> textsNamedBy(const std::string& request,
                                      const std::vector<std::string>& texts) {
  const auto exact = positionsWhere(
      texts, [&request](const std::string& text) { return namesWholeText(request, text); });
  if (!exact.empty()) return exact;
  const std::string wanted = trimmed(request);
  return positionsWhere(
      texts, [&wanted](const std::string& text) { return startsWithCutText(wanted, text); });
}

bool namesWholeText(const std::string& request, const std::string& text) {
  return equalIgnoringCase(trimmed(text), trimmed(request));
}

std::string trimmed(const std::string& text) {
  const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  const auto first = std::find_if_not(text.begin(), text.end(), isSpace);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), isSpace).base();
  return first < last ? std::string(first, last) : std::string();
}

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), folded);
  return text;
}

bool endsWithIgnoringCase(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() &&
         equalIgnoringCase(text.substr(text.size() - ending.size()), ending);
}

std::string quotedList(const std::vector<std::string>& texts) {
  std::string list;
  for (const std::string& text : texts) list += (list.empty() ? "'" : ", '") + text + "'";
  return list;
}

std::string counted(long long count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::optional<double> plainNumber(const std::string& text) {
  const std::string number = trimmed(text);
  char* end = nullptr;
  const double value = std::strtod(number.c_str(), &end);
  if (number.empty() || *end != '\0') return std::nullopt;
  return value;
}

// NaN fails both comparisons.
std::optional<double> normalisedNumber(const std::string& text) {
  const std::optional<double> number = plainNumber(text);
  if (number && *number >= 0.0 && *number <= 1.0) return number;
  return std::nullopt;
}
