#include "lv2/plugin_descriptor.h"

#include <lv2/state/state.h>

#include <cstring>

#include "lv2/quobe.h"
#include "seam/host_boundary.h"

namespace {

CQuobe* shellOf(LV2_Handle instance) { return static_cast<CQuobe*>(instance); }

void connectPort(LV2_Handle instance, std::uint32_t port, void* data) {
  guardedHostCall([&] { shellOf(instance)->connectPort(port, data); });
}

void activate(LV2_Handle instance) {
  guardedHostCall([&] { shellOf(instance)->activate(); });
}

void run(LV2_Handle instance, std::uint32_t frames) {
  guardedHostCall([&] { shellOf(instance)->run(frames); });
}

void deactivate(LV2_Handle instance) {
  guardedHostCall([&] { shellOf(instance)->deactivate(); });
}

void cleanup(LV2_Handle instance) {
  guardedHostCall([&] {
    shellOf(instance)->close();
    delete shellOf(instance);
  });
}

LV2_State_Status saveState(LV2_Handle instance, LV2_State_Store_Function store,
                           LV2_State_Handle handle, std::uint32_t, const LV2_Feature* const*) {
  return guardedHostCall(
      [&] {
        return store != nullptr ? shellOf(instance)->saveState(store, handle)
                                : LV2_STATE_ERR_UNKNOWN;
      },
      LV2_STATE_ERR_UNKNOWN);
}

LV2_State_Status restoreState(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                              LV2_State_Handle handle, std::uint32_t, const LV2_Feature* const*) {
  return guardedHostCall(
      [&] {
        return retrieve != nullptr ? shellOf(instance)->restoreState(retrieve, handle)
                                   : LV2_STATE_ERR_UNKNOWN;
      },
      LV2_STATE_ERR_UNKNOWN);
}

const void* extensionData(const char* uri) {
  static const LV2_State_Interface state{saveState, restoreState};
  return uri != nullptr && std::strcmp(uri, LV2_STATE__interface) == 0 ? &state : nullptr;
}

}  // namespace

LV2_Descriptor pluginDescriptor(const char* uri, InstantiateFunction instantiate) {
  return LV2_Descriptor{uri, instantiate, connectPort, activate,
                        run, deactivate,  cleanup,     extensionData};
}
