// A translated effect for tests: counts its section runs and, optionally,
// serializes a few control values, so the runtime can be observed from
// outside. Instance wraps it in a shell as the entry point does, for a host
// that records the calls it receives.
#pragma once

#include <cstdint>
#include <vector>

#include "plugin_host/recording_host.h"
#include "runtime/runtime_callbacks.h"
#include "runtime/tovra.h"
#include "seam/shell_services.h"
#include "vst2/quobe.h"

struct RecordingEffect : TTovra {
  int initRuns = 0;
  int controlRuns = 0;
  int blockRuns = 0;
  int sampleRuns = 0;
  int serializedValues = 0;  // control values 1..n travel through the state stream

  void initSection() override { ++initRuns; }
  void controlSection() override { ++controlRuns; }
  void blockSection() override { ++blockRuns; }
  void sampleSection() override { ++sampleRuns; }
  void serializeSection() override {
    for (int number = 1; number <= serializedValues; ++number)
      stateStream().transfer(controlValues_[number]);
  }
};

// One plugin instance around a heap effect; closing it through the record
// destroys the shell and, through onDestroy, the effect.
template <typename Effect = RecordingEffect>
struct Instance {
  RecordingHost& host;
  Effect* effect = new Effect();
  CQuobe* shell = nullptr;
  AEffect* record = nullptr;

  explicit Instance(RecordingHost& host, const EffectCallbacks& callbacks = runtimeCallbacks())
      : host(host) {
    record = host.createInstance([&](audioMasterCallback callback) {
      shell = shellCreate(effect, callbacks, callback, 1, effect->controlCount());
      return shellGetRecord(shell);
    });
    effect->setShell(shell);
  }
  ~Instance() {
    if (record == nullptr) return;
    record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
    host.forgetInstance(record);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                         void* ptr = nullptr, float opt = 0.0f) {
    return record->dispatcher(record, opcode, index, value, ptr, opt);
  }
};
