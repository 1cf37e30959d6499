// Who the downmixer says it is, from the header the build generates out of
// project(VERSION) and the identity cache variables.
#pragma once

#include <cstdint>

#include "plugin_identity.h"

struct DownmixerIdentity {
  const char* effectName;
  const char* vendor;
  const char* product;
  std::int32_t vendorVersion;  // one decimal digit per version field: 1000 is 1.0.0.0
};

// The vendor version worked out here from the version text alone, so that
// the plugin's own derivation is checked rather than copied.
constexpr std::int32_t vendorVersionOf(const char* version) {
  std::int32_t fields[4] = {0, 0, 0, 0};
  int field = 0;
  for (const char* c = version; *c != '\0' && field < 4; ++c) {
    if (*c == '.') {
      ++field;
    } else {
      fields[field] = fields[field] * 10 + (*c - '0');
    }
  }
  return fields[0] * 1000 + fields[1] * 100 + fields[2] * 10 + fields[3];
}

inline constexpr DownmixerIdentity kIdentity{plugin_identity::kEffectName, plugin_identity::kVendor,
                                             plugin_identity::kEffectName,
                                             vendorVersionOf(plugin_identity::kVersion)};
