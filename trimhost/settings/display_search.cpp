#include "trimhost/settings/display_search.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "trimhost/cli/tool_error.h"
#include "trimhost/settings/text_match.h"

namespace {

// Enough halvings to pin a 32-bit float's normalised value.
constexpr int kBisectionSteps = 40;
// Points scanned for a list's texts; finer than any list a host could show.
constexpr int kScanSteps = 1000;
// How many of a list's texts an error message names.
constexpr std::size_t kTextsNamed = 12;

int decimalsOf(const std::string& number) {
  const auto point = number.find('.');
  if (point == std::string::npos) return 0;
  const auto digits =
      std::find_if_not(number.begin() + static_cast<std::ptrdiff_t>(point) + 1, number.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
  return static_cast<int>(digits - number.begin() - static_cast<std::ptrdiff_t>(point) - 1);
}

bool hasDigit(const std::string& text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// How far a value may lie from a display and still show as it does, with a
// little room for the rounding of the difference itself.
double allowance(const NumericDisplay& display) { return display.tolerance * (1 + 1e-9); }

// Equal values count as shown too, so that an infinite display can be asked for.
bool shows(const std::optional<NumericDisplay>& display, double wanted) {
  return display &&
         (display->value == wanted || std::fabs(display->value - wanted) <= allowance(*display));
}

// Where the display, followed in the direction in which it rises, reaches the
// band of values that show as `wanted` (`farEdge` false) or leaves it (true).
bool pastEdge(const std::optional<NumericDisplay>& display, double wanted, double rising,
              bool farEdge) {
  if (!display) return false;
  const double offset = rising * (display->value - wanted);
  if (farEdge) return display->value != wanted && offset > allowance(*display);
  return display->value == wanted || offset >= -allowance(*display);
}

struct TextRun {
  std::string text;
  double first;
  double last;
};

// The display texts in the order the range shows them, with where each run
// of one text starts and ends.
std::vector<TextRun> scanRuns(DisplaySearch& search) {
  std::vector<TextRun> runs;
  for (int step = 0; step <= kScanSteps; ++step) {
    const double at = static_cast<double>(step) / kScanSteps;
    std::string text = search.displayAt(static_cast<float>(at));
    if (!runs.empty() && runs.back().text == text) {
      runs.back().last = at;
    } else {
      runs.push_back({std::move(text), at, at});
    }
  }
  return runs;
}

std::vector<std::string> distinctTexts(const std::vector<TextRun>& runs) {
  std::vector<std::string> texts;
  for (const TextRun& run : runs)
    if (std::find(texts.begin(), texts.end(), run.text) == texts.end()) texts.push_back(run.text);
  return texts;
}

}  // namespace

std::optional<NumericDisplay> numericDisplay(const std::string& text) {
  const std::string shown = trimmed(text);
  char* end = nullptr;
  const double value = std::strtod(shown.c_str(), &end);
  if (end == shown.c_str() || hasDigit(end)) return std::nullopt;
  const std::string number(shown.c_str(), static_cast<std::size_t>(end - shown.c_str()));
  return NumericDisplay{value, 0.5 * std::pow(10.0, -decimalsOf(number))};
}

std::string DisplaySearch::displayAt(float normalised) {
  session_.plugin().setParameter(index_, normalised);
  return session_.text(effGetParamDisplay, index_);
}

std::optional<NumericDisplay> DisplaySearch::numberAt(double normalised) {
  return numericDisplay(displayAt(static_cast<float>(normalised)));
}

bool DisplaySearch::displaysNumbers() { return numberAt(0.0) && numberAt(1.0); }

DisplaySearch::Edge DisplaySearch::edge(double wanted, double rising, bool farEdge) {
  Edge edge{0.0, 1.0};
  if (pastEdge(numberAt(edge.before), wanted, rising, farEdge)) return {0.0, 0.0};
  if (!pastEdge(numberAt(edge.beyond), wanted, rising, farEdge)) return {1.0, 1.0};
  for (int step = 0; step < kBisectionSteps; ++step) {
    const double middle = (edge.before + edge.beyond) / 2;
    (pastEdge(numberAt(middle), wanted, rising, farEdge) ? edge.beyond : edge.before) = middle;
  }
  return edge;
}

float DisplaySearch::normalisedForNumber(double wanted, const std::string& request) {
  const std::string lowest = displayAt(0.0f);
  const std::string highest = displayAt(1.0f);
  const double rising = numericDisplay(highest)->value >= numericDisplay(lowest)->value ? 1 : -1;
  const Edge nearEdge = edge(wanted, rising, false);
  const double farEdge = edge(wanted, rising, true).beyond;
  for (const double candidate :
       {nearestToNumber(wanted, rising, nearEdge.beyond, farEdge), nearEdge.beyond}) {
    if (shows(numberAt(candidate), wanted)) return static_cast<float>(candidate);
  }
  const std::string below = displayAt(static_cast<float>(nearEdge.before));
  const std::string above = displayAt(static_cast<float>(nearEdge.beyond));
  unreachable(request, "the nearest it shows " +
                           (below == above ? "is " + below : "are " + below + " and " + above) +
                           " (its display runs from " + lowest + " to " + highest + ")");
}

// Inside the range a band's middle shows the number itself. A band that an
// end of the range cuts short holds it nearer that end, or at it: half a
// whole band's width (its neighbour's) from its other edge. "20.0 ms" at the
// top of a range is then 20 ms, not the 19.96 ms of the cut band's middle.
double DisplaySearch::nearestToNumber(double wanted, double rising, double first, double last) {
  const double middle = (first + last) / 2;
  const std::optional<NumericDisplay> shown = numberAt(middle);
  if (!shown || (first > 0.0 && last < 1.0)) return middle;
  const double step = 2 * shown->tolerance * rising;
  if (last >= 1.0 && first > 0.0) {
    const double width = first - edge(wanted - step, rising, false).beyond;
    return width > 0.0 ? std::min(1.0, first + width / 2) : middle;
  }
  if (first <= 0.0 && last < 1.0) {
    const double width = edge(wanted + step, rising, true).beyond - last;
    return width > 0.0 ? std::max(0.0, last - width / 2) : middle;
  }
  return middle;
}

DisplaySearch::Choice DisplaySearch::normalisedForText(const std::string& request,
                                                       const std::string& advice) {
  const std::vector<TextRun> runs = scanRuns(*this);
  std::vector<std::string> texts = distinctTexts(runs);
  const std::vector<std::size_t> named = textsNamedBy(request, texts);
  if (named.size() > 1) ambiguous(request, texts, named);
  if (named.empty()) {
    if (texts.size() > kTextsNamed) texts.resize(kTextsNamed);
    const std::string shown = displaysNumbers() ? numbersTaken() : "it shows " + quotedList(texts);
    unreachable(request, shown + (advice.empty() ? "" : "; " + advice));
  }
  const std::string& wanted = texts[named.front()];
  const TextRun& run = *std::find_if(runs.begin(), runs.end(),
                                     [&wanted](const TextRun& r) { return r.text == wanted; });
  const auto middle = static_cast<float>((run.first + run.last) / 2);
  return {displayAt(middle) == wanted ? middle : static_cast<float>(run.first),
          !namesWholeText(request, wanted)};
}

std::string DisplaySearch::name() { return session_.text(effGetParamName, index_); }

std::string DisplaySearch::numbersTaken() {
  const std::string label = trimmed(session_.text(effGetParamLabel, index_));
  return "it takes a number" + (label.empty() ? "" : " in " + label) + " from " + displayAt(0.0f) +
         " to " + displayAt(1.0f);
}

void DisplaySearch::ambiguous(const std::string& request, const std::vector<std::string>& texts,
                              const std::vector<std::size_t>& named) {
  std::vector<std::string> candidates;
  for (std::size_t position : named) candidates.push_back(texts[position]);
  throw ToolError(ExitStatus::Parameter, "'" + request + "' is ambiguous for '" + name() +
                                             "': it could be any of " + quotedList(candidates));
}

void DisplaySearch::unreachable(const std::string& request, const std::string& why) {
  throw ToolError(ExitStatus::Parameter,
                  "'" + name() + "' cannot be set to '" + request + "': " + why);
}
