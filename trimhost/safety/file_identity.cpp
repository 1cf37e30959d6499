#include "trimhost/safety/file_identity.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "trimhost/cli/tool_error.h"
#include "trimhost/safety/output_file.h"

namespace {

struct Identity {
  std::optional<std::pair<dev_t, ino_t>> inode;
  std::string resolved;  // for files not there yet

  bool operator==(const Identity& other) const {
    return inode ? inode == other.inode : !other.inode && resolved == other.resolved;
  }
};

Identity identityOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) return {std::make_pair(status.st_dev, status.st_ino), ""};
  std::error_code ignored;
  return {std::nullopt, std::filesystem::weakly_canonical(path, ignored).string()};
}

[[noreturn]] void refuse(const NamedFile& output, const NamedFile& other) {
  throw ToolError(ExitStatus::Usage, output.role + " " + output.path + " is the same file as " +
                                         other.role + " " + other.path +
                                         "; nothing was read or written");
}

}  // namespace

void refuseInputAsStandardOutput(const NamedFile& input) {
  struct stat output {};
  if (input.path.empty() || ::fstat(STDOUT_FILENO, &output) != 0 || !S_ISREG(output.st_mode))
    return;
  if (identityOf(input.path) == Identity{std::make_pair(output.st_dev, output.st_ino), ""}) {
    throw ToolError(ExitStatus::Usage,
                    "standard output goes to " + input.role + " " + input.path +
                        ", which the shell emptied before it could be read; send the output to "
                        "another file");
  }
}

void refuseOverlaps(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs) {
  for (const NamedFile& input : inputs) refuseInputAsStandardOutput(input);
  for (std::size_t index = 0; index < outputs.size(); ++index) {
    const NamedFile& output = outputs[index];
    if (output.path.empty() || namesStandardOutput(output.path)) continue;
    const Identity identity = identityOf(output.path);
    for (const NamedFile& input : inputs)
      if (!input.path.empty() && identityOf(input.path) == identity) refuse(output, input);
    for (std::size_t other = 0; other < index; ++other)
      if (!outputs[other].path.empty() && identityOf(outputs[other].path) == identity)
        refuse(output, outputs[other]);
  }
}
