#include "trimhost/commands/plugin_list.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include "trimhost/cli/json_line.h"
#include "trimhost/cli/tool_error.h"
#include "trimhost/plugin/plugin_folders.h"
#include "trimhost/plugin/probe_cache.h"
#include "trimhost/settings/text_match.h"

namespace {

// A reader that has read enough (trimhost list | head -1) ends the listing
// quietly, with the status a pipeline gives a program SIGPIPE ended.
void print(const std::string& line) {
  if (std::fputs((line + "\n").c_str(), stdout) >= 0 && std::fflush(stdout) == 0) return;
  if (errno == EPIPE) throw ToolError(static_cast<ExitStatus>(128 + SIGPIPE), "");
  throw ToolError(ExitStatus::Failure, "cannot write the listing to standard output");
}

}  // namespace

std::string listLine(const ProbeResult& probe) {
  if (probe.status == ProbeStatus::Failed)
    return probe.path + ": cannot be loaded: " + probe.reason;
  if (probe.status != ProbeStatus::Loaded) return probe.path + ": " + probe.reason;
  const PluginFacts& facts = probe.facts;
  return probe.path + ": \"" + facts.effectName + "\" by \"" + facts.vendor + "\", " +
         std::to_string(facts.inputs) + " in, " + std::to_string(facts.outputs) + " out, " +
         counted(facts.parameters, "parameter") +
         ", 64-bit processing: " + (facts.doublePrecision ? "yes" : "no");
}

void runList(const ListOptions& options) {
  const std::vector<std::string> folders =
      options.folders.empty() ? pluginSearchFolders() : options.folders;
  const LibraryScan scan = findPluginLibraries(folders);
  for (const UnreadablePath& unreadable : scan.unreadable)
    std::fprintf(stderr, "trimhost: %s\n", unreadableText(unreadable).c_str());
  std::vector<FoundLibrary> libraries = firstOfEachLibrary(scan.libraries);
  std::sort(libraries.begin(), libraries.end(),
            [](const FoundLibrary& a, const FoundLibrary& b) { return a.path < b.path; });
  if (libraries.empty()) {
    std::string searched;
    for (const std::string& folder : folders) searched += (searched.empty() ? "" : ", ") + folder;
    std::fprintf(stderr, "no plugin libraries (*.so) in %s\n", searched.c_str());
  }
  ProbeCache cache(options.probing.rescan);
  for (const FoundLibrary& library : libraries) {
    const ProbeResult probe = cache.probe(library, options.probing.seconds);
    // Neither paths nor plugins' texts need be UTF-8; jsonLine keeps their bytes.
    print(options.json ? jsonLine(probeJson(probe)) : listLine(probe));
  }
  if (!scan.unreadable.empty()) throw ToolError(ExitStatus::Failure, "");
}
