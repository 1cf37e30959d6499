// Where an output goes, and how it gets there without harming what was
// there before:
//   - a regular file, also behind symlinks (which stay links), is written
//     under a temporary name beside it and renamed into place only when
//     complete. An existing one is replaced only when the user asked for it
//     (--overwrite), and keeps its mode and owner; a read-only one is never
//     replaced;
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

#include "trimhost/cli/tool_error.h"
#include "trimhost/safety/signal_cleanup.h"

// What to do when an output names a regular file that is already there.
enum class ExistingOutput { Refuse, Replace };

class OutputFile {
 public:
  enum class Kind { Regular, Special, StandardOutput };

  // Checks the destination at once, so that a render stops before it
  // starts: for a regular file the temporary file is created. Throws
  // ToolError naming the file: ExitStatus::Usage for an existing file to be
  // refused, else ExitStatus::Failure with the system's reason.
  OutputFile(const std::string& name, ExistingOutput existing);
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

// True when the name leads to a regular file, through symlinks or not: an
// output that --overwrite would replace.
bool namesExistingFile(const std::string& name);

// The refusal of an existing output, with the options that change it.
ToolError existingOutputError(const std::string& name, const std::string& otherChoice = "");
