// Where an output goes, and how it gets there without harming what was
// there before:
//   - a regular file, new or existing, also behind symlinks (which stay
//     links), is written under a temporary name beside it and renamed into
//     place only when complete; an existing file keeps its mode and owner;
//   - a character device or a FIFO is written directly;
//   - "-" is standard output; what the tool prints for people then goes to
//     standard error, so that nothing else lands in the stream.
// A temporary file never committed is removed, also when a signal ends the
// tool. Block devices, directories and sockets are refused.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>

#include "signal_cleanup.h"

class OutputFile {
 public:
  enum class Kind { Regular, Special, StandardOutput };

  // Checks the destination at once, so that a render stops before it
  // starts: for a regular file the temporary file is created. Throws
  // ToolError (ExitStatus::Failure) naming the file and the system's reason.
  explicit OutputFile(const std::string& name);
  ~OutputFile();

  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The name as the user gave it, for messages.
  const std::string& name() const { return name_; }
  Kind kind() const { return kind_; }

  // False for pipes, FIFOs, sockets and terminals: containers whose header
  // is completed at the end cannot be written there.
  bool seekable();

  // Opens a special file on first use: a FIFO only once its reader is there.
  int descriptor();

  void writeAll(const void* data, std::size_t size);

  // Makes the output final: flushed to the disk and, for a regular file,
  // renamed into place. Throws ToolError (ExitStatus::Failure).
  void commit();

 private:
  void createTemporary();

  std::string name_;
  Kind kind_ = Kind::Regular;
  std::string target_;  // the file the output ends up in, symlinks resolved
  std::optional<struct stat> existing_;
  std::string temporary_;
  std::unique_ptr<RemovalOnSignal> removal_;
  int descriptor_ = -1;
  bool committed_ = false;
};

// "-" for standard output.
bool namesStandardOutput(const std::string& name);
