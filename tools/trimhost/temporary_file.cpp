#include "temporary_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tool_error.h"

namespace {

ToolError fileError(const std::string& what, const std::filesystem::path& path) {
  return ToolError(ExitStatus::Failure,
                   "cannot " + what + " " + path.string() + ": " + std::strerror(errno));
}

// mkstemp makes files only their owner may read; the output should get the
// permissions any new file gets.
mode_t newFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

TemporaryFile::TemporaryFile(const std::filesystem::path& destination) : destination_(destination) {
  const std::filesystem::path directory =
      destination.has_parent_path() ? destination.parent_path() : ".";
  std::string pattern = (directory / ("." + destination.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  descriptor_ = mkstemp(name.data());
  if (descriptor_ < 0) throw fileError("create a file in", directory);
  path_ = name.data();
  fchmod(descriptor_, newFileMode());
}

TemporaryFile::~TemporaryFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
  if (!committed_) {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
}

void TemporaryFile::commit() {
  if (::close(descriptor_) != 0) {
    descriptor_ = -1;
    throw fileError("write", destination_);
  }
  descriptor_ = -1;
  if (std::rename(path_.c_str(), destination_.c_str()) != 0) throw fileError("write", destination_);
  committed_ = true;
}
