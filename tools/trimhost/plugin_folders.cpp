#include "plugin_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>

#include "text_match.h"

namespace fs = std::filesystem;

namespace {

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr)
    return user->pw_dir;
  return "";
}

bool isLibraryName(const fs::path& file) { return lowerCase(file.extension().string()) == ".so"; }

class LibraryWalk {
 public:
  explicit LibraryWalk(std::vector<FoundLibrary>& found) : found_(found) {}

  void walk(const fs::path& folder, std::size_t folderIndex) {
    std::error_code error;
    const fs::path canonical = fs::canonical(folder, error);
    if (error || !walkedFolders_.insert(canonical).second) return;
    std::vector<fs::path> entries;
    for (fs::directory_iterator entry(folder, fs::directory_options::skip_permission_denied, error),
         end;
         !error && entry != end; entry.increment(error))
      entries.push_back(entry->path());
    std::sort(entries.begin(), entries.end());
    for (const fs::path& entry : entries) {
      const fs::file_status status = fs::status(entry, error);  // follows symlinks
      if (error) continue;
      if (fs::is_directory(status)) {
        walk(entry, folderIndex);
      } else if (fs::is_regular_file(status) && isLibraryName(entry)) {
        const fs::path library = fs::canonical(entry, error);
        if (!error) found_.push_back({entry.string(), library.string(), folderIndex});
      }
    }
  }

 private:
  std::vector<FoundLibrary>& found_;
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

std::vector<FoundLibrary> findPluginLibraries(const std::vector<std::string>& folders) {
  std::vector<FoundLibrary> found;
  LibraryWalk walk(found);
  for (std::size_t index = 0; index < folders.size(); ++index) walk.walk(folders[index], index);
  return found;
}

std::vector<FoundLibrary> firstOfEachLibrary(const std::vector<FoundLibrary>& libraries) {
  std::vector<FoundLibrary> first;
  std::set<std::string> seen;
  for (const FoundLibrary& library : libraries)
    if (seen.insert(library.canonical).second) first.push_back(library);
  return first;
}
