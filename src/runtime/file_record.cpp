#include "runtime/file_record.h"

#include <cstddef>

void FileRecord::reset(FileMode newMode) {
  name.clear();
  position = 0;
  count1 = 0;
  count2 = 0;
  buffer.clear();
  flag1 = false;
  mode = newMode;
}

void FileRecord::transfer(double& variable) {
  const auto index = static_cast<std::size_t>(position);
  switch (mode) {
    case FileMode::Writing:
      if (buffer.size() < index + 1) buffer.resize(index + 1, 0.0f);
      buffer[index] = static_cast<float>(variable);
      ++position;
      break;
    case FileMode::Reading:
      if (index < buffer.size()) {
        variable = buffer[index];
        ++position;
      }
      break;
    case FileMode::Closed:
      break;
  }
}
