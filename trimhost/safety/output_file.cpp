#include "trimhost/safety/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "trimhost/cli/tool_error.h"

namespace {

// Links are followed as far as the kernel follows them.
constexpr int kMostLinksFollowed = 40;
// mkstemp's pattern takes six characters and the dot before them.
constexpr std::size_t kUniqueSuffix = 7;

ToolError systemError(const std::string& what, const std::string& name) {
  return ToolError(ExitStatus::Failure,
                   "cannot " + what + " " + name + ": " + std::strerror(errno));
}

ToolError refusal(const std::string& name, const std::string& why) {
  return ToolError(ExitStatus::Failure, "cannot write " + name + ": " + why);
}

std::string linkText(const std::string& link) {
  std::vector<char> text(PATH_MAX + 1);
  const ssize_t length = ::readlink(link.c_str(), text.data(), text.size() - 1);
  if (length < 0) throw systemError("follow the link", link);
  return std::string(text.data(), static_cast<std::size_t>(length));
}

// The file a name ends up at once every symlink on the way is followed, so
// that the link itself is kept and its target replaced.
std::string followLinks(const std::string& name) {
  std::filesystem::path path = name;
  for (int hop = 0; hop < kMostLinksFollowed; ++hop) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path.string();
    const std::filesystem::path target = linkText(path.string());
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  throw refusal(name, "too many levels of symbolic links");
}

std::optional<struct stat> statusOf(const std::string& path, const std::string& name) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) return status;
  if (errno == ENOENT) return std::nullopt;
  throw systemError("write", name);
}

const char* unwritableKind(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a directory";
  if (S_ISBLK(mode)) return "it is a block device";
  if (S_ISSOCK(mode)) return "it is a socket";
  return nullptr;
}

// mkstemp makes files only their owner may read; a new output gets the
// permissions any new file gets.
mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// A name that fits the directory's limit however long the output's name is.
std::string temporaryPattern(const std::filesystem::path& target) {
  const std::filesystem::path directory = target.has_parent_path() ? target.parent_path() : ".";
  const long limit = ::pathconf(directory.c_str(), _PC_NAME_MAX);
  const std::size_t longest = (limit > 0 ? static_cast<std::size_t>(limit) : 255) - kUniqueSuffix;
  std::string name = "." + target.filename().string();
  if (name.size() > longest) name.resize(longest);
  return (directory / (name + ".XXXXXX")).string();
}

bool seekableDescriptor(int descriptor) {
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode))
    return false;
  return ::lseek(descriptor, 0, SEEK_CUR) != -1;
}

// Makes a finished rename survive a power cut; failing that changes nothing
// about the file itself, so it goes unreported.
void syncDirectoryOf(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  const int directory = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY);
  if (directory < 0) return;
  ::fsync(directory);
  ::close(directory);
}

}  // namespace

bool namesStandardOutput(const std::string& name) { return name == "-"; }

bool namesExistingFile(const std::string& name) {
  struct stat status {};
  return !namesStandardOutput(name) && ::stat(name.c_str(), &status) == 0 &&
         S_ISREG(status.st_mode);
}

ToolError existingOutputError(const std::string& name, const std::string& otherChoice) {
  return ToolError(ExitStatus::Usage, "will not replace " + name +
                                          ", which exists: give --overwrite (-y) to replace it" +
                                          otherChoice);
}

OutputFile::OutputFile(const std::string& name, ExistingOutput existing) : name_(name) {
  if (namesStandardOutput(name)) {
    kind_ = Kind::StandardOutput;
    std::fflush(stdout);
    descriptor_ = ::dup(STDOUT_FILENO);
    if (descriptor_ < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
      throw systemError("write to", "standard output");
    return;
  }
  target_ = followLinks(name);
  existing_ = statusOf(target_, name);
  if (existing_) {
    if (const char* why = unwritableKind(existing_->st_mode)) throw refusal(name, why);
    if (S_ISREG(existing_->st_mode) && existing == ExistingOutput::Refuse)
      throw existingOutputError(name);
    // Writing takes the permission to write the file, although a rename
    // would not need it: a read-only file is a request not to replace it.
    // Root passes access() on any file, so its mode is read as well.
    if (::access(target_.c_str(), W_OK) != 0) throw systemError("write", name);
    if (S_ISREG(existing_->st_mode) && (existing_->st_mode & 0222) == 0)
      throw refusal(name, "it is read-only");
    if (S_ISCHR(existing_->st_mode) || S_ISFIFO(existing_->st_mode)) {
      kind_ = Kind::Special;
      return;
    }
  }
  createTemporary();
}

void OutputFile::createTemporary() {
  std::string pattern = temporaryPattern(target_);
  // An interruption between making the file and registering it would leave it.
  InterruptionsHeld held;
  descriptor_ = ::mkstemp(pattern.data());
  if (descriptor_ < 0) {
    const std::filesystem::path directory = std::filesystem::path(pattern).parent_path();
    throw refusal(name_,
                  "cannot create a file in " + directory.string() + ": " + std::strerror(errno));
  }
  temporary_ = pattern;
  removal_ = std::make_unique<RemovalOnSignal>(temporary_);
  ::fchmod(descriptor_, existing_ ? existing_->st_mode & 07777 : newFileMode());
  // Replacing someone else's file as root must not hand it to root; a plain
  // user cannot give files away and keeps the file as theirs.
  if (existing_ && ::fchown(descriptor_, existing_->st_uid, existing_->st_gid) == 0)
    ::fchmod(descriptor_, existing_->st_mode & 07777);
}

OutputFile::~OutputFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
  if (!temporary_.empty() && !committed_) ::unlink(temporary_.c_str());
}

int OutputFile::descriptor() {
  if (descriptor_ < 0 && kind_ == Kind::Special) {
    descriptor_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (descriptor_ < 0) throw systemError("write", name_);
  }
  return descriptor_;
}

bool OutputFile::seekable() {
  if (kind_ == Kind::Regular) return true;
  if (existing_ && S_ISFIFO(existing_->st_mode)) return false;
  return seekableDescriptor(descriptor());
}

void OutputFile::writeAll(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(descriptor(), bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) throw systemError("write", name_);
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
}

void OutputFile::commit() {
  const int descriptor = this->descriptor();
  descriptor_ = -1;
  if (kind_ == Kind::Regular && ::fsync(descriptor) != 0) {
    ::close(descriptor);
    throw systemError("write", name_);
  }
  if (::close(descriptor) != 0) throw systemError("write", name_);
  if (kind_ != Kind::Regular) return;
  deferInterruptions();
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) throw systemError("write", name_);
  committed_ = true;
  removal_.reset();
  syncDirectoryOf(target_);
}
