// FileRecord: one numbered script file with its value buffer. Record 0 is the
// state stream behind the host's chunks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class FileMode : std::int32_t { Closed = 0, Reading = 1, Writing = 2 };

struct FileRecord {
  std::string name;
  std::int32_t position = 0;
  std::vector<float> buffer;
  bool flag1 = false;
  bool flag2 = true;
  FileMode mode = FileMode::Closed;
  std::int32_t count1 = 0;
  std::int32_t count2 = 0;

  // Empties the record and puts it into the given mode.
  void reset(FileMode newMode);

  // Moves one script variable through the record: writing stores it as a
  // 32-bit float at the position, reading replaces it with the next stored
  // value if there is one, a closed record does nothing.
  void transfer(double& variable);
};
