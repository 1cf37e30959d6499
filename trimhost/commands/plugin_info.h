// trimhost info: what a host sees of a plugin, as text or as JSON.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "trimhost/plugin/plugin_session.h"

struct PluginDescription {
  std::string path;
  std::string effectName;
  std::string vendor;
  std::string product;
  std::int32_t vendorVersion;
  std::int32_t uniqueId;
  std::int32_t version;
  std::int32_t inputs;
  std::int32_t outputs;
  std::int32_t flags;
  std::int32_t programs;
  std::string programName;
  std::int32_t initialDelay;
  std::vector<ParameterState> parameters;
};

PluginDescription describePlugin(PluginSession& session, const std::string& path);

// The names of the set flag bits; a bit without a name shows as its hex value.
std::vector<std::string> flagNames(std::int32_t flags);
// The same names separated by blanks.
std::string flagText(std::int32_t flags);

std::string descriptionText(const PluginDescription& description);
nlohmann::ordered_json descriptionJson(const PluginDescription& description);

// Loads the plugin and prints its description to standard output.
void runInfo(const std::string& pluginPath, bool asJson);
