// ControlDescriptor: one host parameter, in definition order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ControlDescriptor {
  std::vector<std::string> enumerationTexts;
  bool listed = false;
  std::int32_t valueNumber = 0;
  double* link = nullptr;
  double defaultValue = 0.0;
  double minimum = 0.0;
  double maximum = 1.0;
  double step = 1.0;
  std::string folder;
  std::string spareText;
  std::string label;
  std::string name;
};
