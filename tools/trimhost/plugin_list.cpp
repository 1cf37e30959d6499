#include "plugin_list.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include "plugin_folders.h"
#include "text_match.h"
#include "tool_error.h"

namespace {

const char* statusName(ProbeStatus status) {
  switch (status) {
    case ProbeStatus::Loaded:
      return "loaded";
    case ProbeStatus::Failed:
      return "failed";
    case ProbeStatus::Crashed:
      return "crashed";
    case ProbeStatus::TimedOut:
      return "timeout";
  }
  return "failed";
}

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

nlohmann::ordered_json listJson(const ProbeResult& probe) {
  nlohmann::ordered_json line = {{"path", probe.path}, {"status", statusName(probe.status)}};
  if (probe.status != ProbeStatus::Loaded) {
    line["reason"] = probe.reason;
    if (probe.status == ProbeStatus::Crashed) line["signal"] = probe.signal;
    return line;
  }
  const PluginFacts& facts = probe.facts;
  line["effect_name"] = facts.effectName;
  line["vendor"] = facts.vendor;
  line["inputs"] = facts.inputs;
  line["outputs"] = facts.outputs;
  line["parameters"] = facts.parameters;
  line["double_precision"] = facts.doublePrecision;
  return line;
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
  for (const FoundLibrary& library : libraries) {
    const ProbeResult probe = probePlugin(library.path, options.seconds);
    // Plugins' texts need not be UTF-8; invalid bytes become U+FFFD.
    print(options.json ? listJson(probe).dump(-1, ' ', false,
                                              nlohmann::ordered_json::error_handler_t::replace)
                       : listLine(probe));
  }
  if (!scan.unreadable.empty()) throw ToolError(ExitStatus::Failure, "");
}
