// trimhost demo PLUGIN: a guided look at what a host sees and hears.
#pragma once

#include <string>

void runDemo(const std::string& pluginPath);
