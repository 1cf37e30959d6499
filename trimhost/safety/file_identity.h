// Outputs that would destroy an input: the audio written over the file it is
// read from, or over the plugin library, or two outputs onto one file.
#pragma once

#include <string>
#include <vector>

struct NamedFile {
  std::string role;  // how messages name it, such as "the input" or "--save-preset"
  std::string path;
};

// Compares by device and inode, so that other spellings, hard links and
// symlinks are caught too; outputs that do not exist yet by their resolved
// path. Standard output ("-") is never compared. Throws ToolError
// (ExitStatus::Usage) for the first output that is an input or another
// output, and for standard output redirected into an input.
void refuseOverlaps(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs);

// Throws ToolError (ExitStatus::Usage) when standard output is redirected
// into this input: the shell has emptied it before the tool could read it.
void refuseInputAsStandardOutput(const NamedFile& input);
