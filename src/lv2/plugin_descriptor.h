// The LV2 descriptor of the plugin: the host's instance functions, each
// passed to the CQuobe instance, and the state extension.
#pragma once

#include <lv2/core/lv2.h>

using InstantiateFunction = LV2_Handle (*)(const LV2_Descriptor* descriptor, double sampleRate,
                                           const char* bundlePath,
                                           const LV2_Feature* const* features);

// `instantiate` answers a CQuobe, or null when it made none.
LV2_Descriptor pluginDescriptor(const char* uri, InstantiateFunction instantiate);
