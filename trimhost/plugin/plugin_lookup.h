// The plugin a command's PLUGIN argument means: a path, or a name looked up
// in the folders where Linux hosts look for plugins.
#pragma once

#include <string>

#include "trimhost/plugin/plugin_probe.h"

// How a lookup by effect name probes the libraries.
struct LookupOptions {
  double seconds = kDefaultProbeSeconds;  // each library's time limit
  bool rescan = false;  // probe every library again rather than take probe_cache.h's results
};

// Returns the path of the library to load for PLUGIN as the user gave it.
//
// A path (an argument that contains a '/' or names an existing file) comes
// back as it is; loading it reports a missing file. Anything else is a name,
// ignoring case, looked up in the folders of VST_PATH (colon-separated), then
// ~/.vst, /usr/local/lib/vst and /usr/lib/vst, each searched recursively for
// *.so files (missing folders skipped; a library reached twice, by links or
// folders, counts once):
//   1. a library's file name, with or without ".so" (nothing is loaded);
//   2. else a library's effect name, as the plugin reports it: each library
//      is loaded in a child process of its own (plugin_probe.h, within the
//      options' time limit) unless the cache (probe_cache.h) knows it, so
//      one that crashes or hangs is passed over; when no effect name
//      matches whole, a name longer than an effect name cut at 31
//      characters that starts with it names that plugin.
// The first folder, in that order, that holds a match decides. What cannot
// be read there or in a folder before it could hold a match too: a warning
// on standard error names it.
//
// Throws ToolError: ExitStatus::Usage when that folder holds more than one
// match (the message lists them) or the argument is empty;
// ExitStatus::Plugin when no folder holds a match (the message names the
// folders searched, and what could not be read).
std::string findPlugin(const std::string& argument, const LookupOptions& options = {});
