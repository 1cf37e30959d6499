// Finding the normalised value at which a parameter shows a wanted display:
// a number in the plugin's own units, or one of the texts of a list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "trimhost/plugin/plugin_session.h"

// A display text read as a number, and how far a value may lie from it and
// still show as it does: half a unit of its last decimal.
struct NumericDisplay {
  double value;
  double tolerance;
};

// A number, optionally followed by text without digits such as a unit.
std::optional<NumericDisplay> numericDisplay(const std::string& text);

class DisplaySearch {
 public:
  DisplaySearch(PluginSession& session, std::int32_t index) : session_(session), index_(index) {}

  // True when the display is a number at both ends of the range.
  bool displaysNumbers();

  // Assumes a monotonic display: bisects for the range of normalised values
  // that show the wanted number and takes its middle. Throws ToolError
  // (ExitStatus::Parameter) when no value shows it.
  float normalisedForNumber(double wanted, const std::string& request);

  // Scans the range for the display texts and takes the middle of the run
  // that shows the one the request names. Throws ToolError
  // (ExitStatus::Parameter) when the request names several, or none; then
  // the message gives the unit and range of a display of numbers, or else
  // the first texts, and `advice`, unless empty, ends it.
  struct Choice {
    float normalised;
    bool byCutText;  // the request is longer than the cut text it named
  };
  Choice normalisedForText(const std::string& request, const std::string& advice);

  std::string displayAt(float normalised);

 private:
  std::optional<NumericDisplay> numberAt(double normalised);
  // Where the display, followed in its rising direction, reaches the band
  // of values shown as `wanted` (`farEdge` false) or leaves it (true): the
  // last normalised value short of the edge and the first beyond it. Both
  // are 0 when the display starts beyond it, both 1 when it never gets there.
  struct Edge {
    double before;
    double beyond;
  };
  Edge edge(double wanted, double rising, bool farEdge);
  // Where in the band [first, last] of values shown as `wanted` the number
  // itself lies, as far as the displays tell.
  double nearestToNumber(double wanted, double rising, double first, double last);
  std::string name();
  // "it takes a number in dB from -167.00 to 0.00".
  std::string numbersTaken();
  [[noreturn]] void ambiguous(const std::string& request, const std::vector<std::string>& texts,
                              const std::vector<std::size_t>& named);
  [[noreturn]] void unreachable(const std::string& request, const std::string& why);

  PluginSession& session_;
  std::int32_t index_;
};
