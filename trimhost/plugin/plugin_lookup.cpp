#include "trimhost/plugin/plugin_lookup.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "trimhost/cli/tool_error.h"
#include "trimhost/plugin/plugin_folders.h"
#include "trimhost/plugin/probe_cache.h"
#include "trimhost/settings/text_match.h"

namespace fs = std::filesystem;

namespace {

bool isPath(const std::string& argument) {
  std::error_code error;
  return argument.find('/') != std::string::npos ||
         (fs::exists(argument, error) && !fs::is_directory(argument, error));
}

bool namesFile(const std::string& name, const std::string& path) {
  const fs::path file(path);
  const std::string wanted = lowerCase(name);
  return wanted == lowerCase(file.filename().string()) || wanted == lowerCase(file.stem().string());
}

std::string pathList(const std::vector<FoundLibrary>& libraries) {
  std::string list;
  for (const FoundLibrary& library : libraries) list += (list.empty() ? "" : ", ") + library.path;
  return list;
}

// The libraries in the first folder that holds a match, each library once
// (by the first path that reaches it); empty when none does.
std::vector<FoundLibrary> firstFolderMatches(
    const std::vector<FoundLibrary>& libraries,
    const std::function<bool(const FoundLibrary& library)>& matches) {
  std::vector<FoundLibrary> found;
  std::set<std::string> foundLibraries;
  for (std::size_t index = 0; index < libraries.size(); ++index) {
    const FoundLibrary& library = libraries[index];
    if (matches(library) && foundLibraries.insert(library.canonical).second)
      found.push_back(library);
    const bool folderEnds =
        index + 1 == libraries.size() || libraries[index + 1].folder != library.folder;
    if (folderEnds && !found.empty()) return found;
  }
  return found;
}

// Each library's effect name, asked once in a child process; none for a
// library that could not be loaded.
class EffectNames {
 public:
  explicit EffectNames(const LookupOptions& options)
      : cache_(options.rescan), seconds_(options.seconds) {}

  std::optional<std::string> of(const FoundLibrary& library) {
    auto known = names_.find(library.canonical);
    if (known == names_.end()) {
      const ProbeResult probe = cache_.probe(library, seconds_);
      std::optional<std::string> name;
      if (probe.status == ProbeStatus::Loaded) name = probe.facts.effectName;
      known = names_.emplace(library.canonical, name).first;
    }
    return known->second;
  }

  std::size_t asked() const { return names_.size(); }

  std::size_t unanswered() const {
    std::size_t count = 0;
    for (const auto& [path, name] : names_) count += name ? 0 : 1;
    return count;
  }

 private:
  ProbeCache cache_;
  double seconds_;
  std::map<std::string, std::optional<std::string>> names_;
};

// Plugins cut their effect names to 31 characters: a longer name that starts
// with such a name names it.
bool namesCutName(const std::string& argument, const std::string& effectName) {
  constexpr std::size_t kCutLength = 31;
  const std::string wanted = lowerCase(trimmed(argument));
  return effectName.size() == kCutLength && wanted.size() > kCutLength &&
         wanted.compare(0, kCutLength, lowerCase(effectName)) == 0;
}

std::string searchedFolders(const std::vector<std::string>& folders) {
  std::string list;
  for (const std::string& folder : folders) {
    std::error_code error;
    list += (list.empty() ? "" : ", ") + folder;
    if (!fs::is_directory(folder, error)) list += " (missing)";
  }
  return list;
}

std::string unreadableList(const std::vector<UnreadablePath>& unreadable) {
  std::string list;
  for (const UnreadablePath& path : unreadable) list += "; " + unreadableText(path);
  return list;
}

// A library that could not be read in the deciding folder would make the
// name ambiguous, and one in a folder before it would be found instead.
void warnOfUnreadable(const std::vector<UnreadablePath>& unreadable, const std::string& argument,
                      const FoundLibrary& found) {
  for (const UnreadablePath& path : unreadable)
    if (path.folder <= found.folder)
      std::fprintf(stderr,
                   "trimhost: warning: %s, where a library named '%s' could be too; using %s\n",
                   unreadableText(path).c_str(), argument.c_str(), found.path.c_str());
}

}  // namespace

std::string findPlugin(const std::string& argument, const LookupOptions& options) {
  if (argument.empty()) throw ToolError(ExitStatus::Usage, "the plugin's name is empty");
  if (isPath(argument)) return argument;

  const std::vector<std::string> folders = pluginSearchFolders();
  const LibraryScan scan = findPluginLibraries(folders);
  const std::vector<FoundLibrary>& libraries = scan.libraries;
  std::vector<FoundLibrary> matches = firstFolderMatches(
      libraries,
      [&argument](const FoundLibrary& library) { return namesFile(argument, library.path); });
  const char* by = "file name";
  EffectNames effectNames(options);
  if (matches.empty()) {
    by = "effect name";
    matches = firstFolderMatches(libraries, [&](const FoundLibrary& library) {
      const std::optional<std::string> name = effectNames.of(library);
      return name && namesWholeText(argument, *name);
    });
  }
  if (matches.empty()) {
    matches = firstFolderMatches(libraries, [&](const FoundLibrary& library) {
      const std::optional<std::string> name = effectNames.of(library);
      return name && namesCutName(argument, *name);
    });
  }
  if (matches.size() == 1) {
    warnOfUnreadable(scan.unreadable, argument, matches.front());
    return matches.front().path;
  }
  if (matches.size() > 1)
    throw ToolError(ExitStatus::Usage, "the plugin name '" + argument + "' is ambiguous: its " +
                                           by + " names " + pathList(matches) +
                                           "; give a path instead");
  std::string message = "no plugin library has the file name or effect name '" + argument +
                        "'; searched " + searchedFolders(folders);
  if (effectNames.unanswered() > 0)
    message += " (" + std::to_string(effectNames.unanswered()) + " of the " +
               std::to_string(effectNames.asked()) +
               " libraries found could not be loaded: see trimhost list)";
  message += unreadableList(scan.unreadable);
  throw ToolError(ExitStatus::Plugin, message);
}
