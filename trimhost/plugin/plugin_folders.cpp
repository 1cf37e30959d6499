#include "trimhost/plugin/plugin_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>

#include "trimhost/settings/text_match.h"

namespace fs = std::filesystem;

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr)
    return user->pw_dir;
  return "";
}

namespace {

bool isLibraryName(const fs::path& file) { return lowerCase(file.extension().string()) == ".so"; }

class LibraryWalk {
 public:
  explicit LibraryWalk(LibraryScan& scan) : scan_(scan) {}

  void walk(const fs::path& folder, std::size_t folderIndex) {
    std::error_code error;
    const fs::path canonical = fs::canonical(folder, error);
    if (error) return skip(folder, error, folderIndex);
    if (!walkedFolders_.insert(canonical).second) return;
    std::vector<fs::path> entries;
    fs::directory_iterator entry(folder, error);
    for (const fs::directory_iterator end; !error && entry != end; entry.increment(error))
      entries.push_back(entry->path());
    // The entries read before a failure are still searched.
    if (error) skip(folder, error, folderIndex);
    std::sort(entries.begin(), entries.end());
    for (const fs::path& entry : entries) {
      const fs::file_status status = fs::status(entry, error);  // follows symlinks
      if (error) {
        skip(entry, error, folderIndex);
      } else if (fs::is_directory(status)) {
        walk(entry, folderIndex);
      } else if (fs::is_regular_file(status) && isLibraryName(entry)) {
        const fs::path library = fs::canonical(entry, error);
        if (error)
          skip(entry, error, folderIndex);
        else
          scan_.libraries.push_back({entry.string(), library.string(), folderIndex});
      }
    }
  }

 private:
  // What is not there (a missing search folder, a dangling link, a file
  // removed meanwhile) holds no library; anything else could.
  void skip(const fs::path& path, const std::error_code& error, std::size_t folderIndex) {
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory)
      return;
    scan_.unreadable.push_back({path.string(), error.message(), folderIndex});
  }

  LibraryScan& scan_;
  std::set<fs::path> walkedFolders_;
};

}  // namespace

std::vector<std::string> pluginSearchFolders() {
  std::vector<std::string> folders;
  if (const char* path = std::getenv("VST_PATH")) {
    const std::string list = path;
    std::size_t start = 0;
    while (start <= list.size()) {
      const std::size_t end = std::min(list.find(':', start), list.size());
      if (end > start) folders.push_back(list.substr(start, end - start));
      start = end + 1;
    }
  }
  if (const std::string home = homeFolder(); !home.empty())
    folders.push_back((fs::path(home) / ".vst").string());
  folders.emplace_back("/usr/local/lib/vst");
  folders.emplace_back("/usr/lib/vst");
  return folders;
}

LibraryScan findPluginLibraries(const std::vector<std::string>& folders) {
  LibraryScan scan;
  LibraryWalk walk(scan);
  for (std::size_t index = 0; index < folders.size(); ++index) walk.walk(folders[index], index);
  return scan;
}

std::string unreadableText(const UnreadablePath& unreadable) {
  return "cannot read " + unreadable.path + ": " + unreadable.reason;
}

std::vector<FoundLibrary> firstOfEachLibrary(const std::vector<FoundLibrary>& libraries) {
  std::vector<FoundLibrary> first;
  std::set<std::string> seen;
  for (const FoundLibrary& library : libraries)
    if (seen.insert(library.canonical).second) first.push_back(library);
  return first;
}
