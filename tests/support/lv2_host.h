// What an LV2 host hands an instance besides its ports: a URID map, and a
// state property to restore or a place for the one it saves.
#pragma once

#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "state_chunks.h"

// URIDs as a host hands them out: 1 for the first URI asked for, and so on.
// Not for sharing between threads: a host guards its map, a test gives each
// thread its own.
struct UridMap {
  static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
    std::vector<std::string>& uris = static_cast<UridMap*>(handle)->uris;
    const auto found = std::find(uris.begin(), uris.end(), uri);
    if (found != uris.end()) return static_cast<LV2_URID>(found - uris.begin() + 1);
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
  }
  LV2_URID operator()(const std::string& uri) { return map(this, uri.c_str()); }

  std::vector<std::string> uris;
  LV2_URID_Map lv2Map{this, map};
};

// A state property as the plugin stores it or a host hands it back.
struct Property {
  LV2_URID key = 0;
  LV2_URID type = 0;
  Chunk value;
};

// Hands back the one property held, and nothing under any other key.
inline const void* retrieveProperty(LV2_State_Handle handle, std::uint32_t key, std::size_t* size,
                                    std::uint32_t* type, std::uint32_t* flags) {
  auto& held = *static_cast<Property*>(handle);
  if (key != held.key) return nullptr;
  *size = held.value.size();
  *type = held.type;
  *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  return held.value.data();
}

// Keeps the last property the plugin stores.
inline LV2_State_Status storeProperty(LV2_State_Handle handle, std::uint32_t key, const void* value,
                                      std::size_t size, std::uint32_t type, std::uint32_t) {
  auto& kept = *static_cast<Property*>(handle);
  const auto* bytes = static_cast<const unsigned char*>(value);
  kept = {key, type, Chunk(bytes, bytes + size)};
  return LV2_STATE_SUCCESS;
}
