// trimhost list: every plugin library in the search folders or the folders
// given, each probed in a child process of its own (plugin_probe.h).
#pragma once

#include <string>
#include <vector>

#include "trimhost/plugin/plugin_lookup.h"
#include "trimhost/plugin/plugin_probe.h"

struct ListOptions {
  std::vector<std::string> folders;  // none: the folders plugin names are looked up in
  bool json = false;
  LookupOptions probing;  // each library's time limit, and whether to rescan
};

// One line of the listing, without its line end.
std::string listLine(const ProbeResult& probe);

// Prints one line per library, sorted by path, as each is probed or found in
// the cache (probe_cache.h). Libraries that fail are listed with the reason.
// What cannot be read is reported on standard error before the listing, and
// ends it with ExitStatus::Failure, as find(1) does; a failure to print is
// an error too.
void runList(const ListOptions& options);
