// A file written under a temporary name beside its destination, so that the
// destination either appears whole or not at all: commit() renames it into
// place, and a temporary file never committed is removed.
#pragma once

#include <filesystem>

class TemporaryFile {
 public:
  // Throws ToolError (ExitStatus::Failure) when the directory takes no file.
  explicit TemporaryFile(const std::filesystem::path& destination);
  ~TemporaryFile();

  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int descriptor() const { return descriptor_; }

  // Throws ToolError (ExitStatus::Failure) when the rename fails.
  void commit();

 private:
  std::filesystem::path destination_;
  std::filesystem::path path_;
  int descriptor_ = -1;
  bool committed_ = false;
};
