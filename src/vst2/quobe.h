// CQuobe: the shell object the host talks to. It forwards the operations that
// carry the effect's behaviour to the runtime through its own copy of the
// effect-callback table, and never calls the effect directly.
#pragma once

#include <cstdint>

#include "seam/effect_callbacks.h"
#include "vst2/audio_effect_x.h"
#include "vst2/host_text.h"

class CQuobe : public AudioEffectX {
 public:
  CQuobe(void* effect, const EffectCallbacks& callbacks, audioMasterCallback audioMaster,
         std::int32_t numPrograms, std::int32_t numParams);
  ~CQuobe() override;

  void* effect() const { return effect_; }

  void open() override;
  void close() override;
  void suspend() override;
  void resume() override;
  void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) override;
  void processDoubleReplacing(double** inputs, double** outputs,
                              std::int32_t sampleFrames) override;
  void setParameter(std::int32_t index, float value) override;
  float getParameter(std::int32_t index) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  void getParameterLabel(std::int32_t index, char* label) override;
  void getParameterDisplay(std::int32_t index, char* text) override;
  void getParameterName(std::int32_t index, char* text) override;
  std::int32_t getChunk(void** data, bool isPreset) override;
  std::int32_t setChunk(void* data, std::int32_t byteSize, bool isPreset) override;
  bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text) override;
  std::int32_t processEvents(void* events) override;
  bool getEffectName(char* name) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  std::int32_t getVendorVersion() override;
  std::int32_t canDo(char* text) override;

 private:
  void callEvent(EffectCallbacks::Event slot);
  bool copyDescriptionText(EffectCallbacks::TextGetter slot, HostText kind, char* hostBuffer);
  void copyParameterText(EffectCallbacks::ParameterText slot, HostText kind, std::int32_t index,
                         char* hostBuffer);

  void* effect_;
  EffectCallbacks callbacks_;
};

// Asks the host for its version first: a host that answers 0 gets no shell.
CQuobe* shellCreate(void* effect, const EffectCallbacks& callbacks, audioMasterCallback audioMaster,
                    std::int32_t numPrograms, std::int32_t numParams);
