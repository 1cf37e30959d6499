#include "trimhost/audio/peak_meter.h"

#include <cstdio>

std::string dbfs(double peak) {
  if (peak <= 0.0) return "-inf";
  if (std::isinf(peak)) return "+inf";
  char text[32];
  std::snprintf(text, sizeof text, "%+.2f", 20.0 * std::log10(peak));
  return text;
}

std::string dbfsList(const std::vector<double>& peaks) {
  std::string list;
  for (double peak : peaks) list += (list.empty() ? "" : " ") + dbfs(peak);
  return list;
}

std::string nanNote(const std::vector<std::int64_t>& nanSamples) {
  std::string note;
  for (std::size_t channel = 0; channel < nanSamples.size(); ++channel) {
    if (nanSamples[channel] == 0) continue;
    note += (note.empty() ? "; NaN samples in channel " : ", channel ") +
            std::to_string(channel + 1) + ": " + std::to_string(nanSamples[channel]);
  }
  return note;
}

std::string PeakMeter::dbfsList() const { return ::dbfsList(peaks_); }

std::vector<std::size_t> PeakMeter::channelsBeyondFullScale() const {
  std::vector<std::size_t> channels;
  for (std::size_t index = 0; index < peaks_.size(); ++index)
    if (peaks_[index] > 1.0) channels.push_back(index + 1);
  return channels;
}
