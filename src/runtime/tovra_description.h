// CTovraDescription: what the host learns about the effect (names, vendor,
// version, unique id, pin count) and its control descriptors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/control_descriptor.h"
#include "runtime/tovra_samples.h"

class CTovraDescription : public CTovraSamples {
 public:
  // Sets the control value to its default and appends a descriptor; answers
  // the new descriptor's index, which is the host's parameter index.
  std::int32_t defineControl(std::int32_t valueNumber, double* link, double defaultValue,
                             double minimum, double maximum, double step, std::string folder,
                             std::string spareText, std::string label, std::string name);
  // Adds a text shown instead of the number to the last defined control.
  void appendEnumerationText(std::string text);

  std::int32_t controlCount() const { return static_cast<std::int32_t>(descriptors_.size()); }
  bool isControlIndex(std::int32_t index) const { return index >= 0 && index < controlCount(); }
  const ControlDescriptor& descriptor(std::int32_t index) const { return descriptors_[index]; }

  std::string effectName;
  std::string productString;
  std::string vendorString;
  std::string programName;
  std::int32_t vendorVersion = 0;
  std::int32_t uniqueId = 0;
  std::int32_t pinCount = 0;

 private:
  std::vector<ControlDescriptor> descriptors_;
};
