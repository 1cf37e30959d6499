// Where plugin libraries are looked for, and the libraries found there: what
// plugin names (plugin_lookup.h) and `trimhost list` search.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The folders searched for plugins by name, in order: those of VST_PATH
// (colon-separated, empty entries skipped), then ~/.vst, /usr/local/lib/vst
// and /usr/lib/vst. Missing folders are included; the search skips them.
std::vector<std::string> pluginSearchFolders();

struct FoundLibrary {
  std::string path;       // as reached from its folder, symlinks kept
  std::string canonical;  // the file itself: the same library reached twice has the same
  std::size_t folder;     // index of the folder it was found under
};

// A folder, or an entry of one, that is there but could not be read: the
// libraries it may hold are unknown.
struct UnreadablePath {
  std::string path;
  std::string reason;  // the system's, such as "Permission denied"
  std::size_t folder;  // index of the folder it was met under
};

struct LibraryScan {
  std::vector<FoundLibrary> libraries;
  std::vector<UnreadablePath> unreadable;
};

// Every plugin library (regular file, or symlink to one, named *.so) under
// the folders, recursively, in folder order and within a folder by name.
// Links to a library are listed each; a folder reached again, through a link
// or as another folder of the list, is not walked again. Missing folders and
// dangling links are skipped; what cannot be read is skipped and reported.
LibraryScan findPluginLibraries(const std::vector<std::string>& folders);

// "cannot read PATH: REASON", for messages.
std::string unreadableText(const UnreadablePath& unreadable);

// $HOME, or the user's home folder from the password database; empty when
// neither is known.
std::string homeFolder();

// The libraries without those reached before by another path.
std::vector<FoundLibrary> firstOfEachLibrary(const std::vector<FoundLibrary>& libraries);
