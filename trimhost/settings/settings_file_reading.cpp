// readSettingsFile: the settings file opened by its path. Apart from the
// parser in settings_file.cpp, which the fuzz build links without the file
// checks of the rest of trimhost.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "trimhost/safety/file_identity.h"
#include "trimhost/settings/settings_file.h"

namespace {

ToolError unreadable(const char* what, const std::string& path) {
  return ToolError(ExitStatus::Failure,
                   std::string("cannot ") + what + " " + path + ": " + std::strerror(errno));
}

}  // namespace

SettingsFile readSettingsFile(const std::string& path) {
  refuseInputAsStandardOutput({"the settings file", path});
  std::ifstream in(path);
  if (!in) throw unreadable("open", path);
  SettingsFile file = readSettings(in, path);
  if (in.bad()) throw unreadable("read", path);
  if (file.lines.empty())
    std::fprintf(stderr, "trimhost: warning: the settings file %s sets nothing\n", path.c_str());
  return file;
}
