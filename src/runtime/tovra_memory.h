// CTovraMemory: the script's numbered memory blocks.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

class CTovraMemory {
 protected:
  void clearMemory() { memoryBlocks_.clear(); }

  std::map<std::int32_t, std::vector<double>> memoryBlocks_;
};
