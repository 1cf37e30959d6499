#include "fake_plugin.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The published buffer size for parameter names, labels and displays, and
// the one for program names; like many plugins, this one cuts its texts to them.
constexpr std::size_t kTextLimit = 8;
constexpr std::size_t kProgramNameLimit = 24;

// Cut to seven characters, the last two differ in case only, so that a
// request naming either names both.
const char* const kModeTexts[] = {"Off", "Bypass", "Pass through", "Mute all inputs",
                                  "mute all outputs"};
constexpr float kRatios[] = {1.0f, 2.0f, 4.0f, 8.0f};

std::string fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// The step of `count` equal steps that a normalised value falls in.
template <std::size_t count, typename T>
const T& stepOf(const T (&steps)[count], float normalised) {
  return steps[std::min(count - 1, static_cast<std::size_t>(normalised * count))];
}

struct Parameter {
  const char* name;
  const char* label;
  std::string (*display)(float normalised);
};

const Parameter kParameters[kFakeParameters] = {
    {"Gain", "dB", [](float n) { return fixed(-60.0 + 72.0 * n, 1); }},
    {"Decay", "ms", [](float n) { return fixed(50.0 * (1.0 - n), 2); }},
    {"Ratio", ":1", [](float n) { return fixed(stepOf(kRatios, n), 1); }},
    {"Mode", "", [](float n) { return std::string(stepOf(kModeTexts, n)); }},
    {"Feedback amount", "%", [](float n) { return fixed(100.0 * n, 0); }},
    {"Send level A", "", [](float n) { return fixed(n, 2); }},
    {"Send level B", "", [](float n) { return fixed(n, 2); }},
};

std::intptr_t copyCut(const std::string& text, void* buffer, std::size_t limit) {
  const std::size_t length = std::min(text.size(), limit - 1);
  std::memcpy(buffer, text.data(), length);
  static_cast<char*>(buffer)[length] = '\0';
  return 1;
}

struct FakePlugin {
  AEffect record{};
  float values[kFakeParameters] = {0.5f, 0.5f, 0.0f, 0.0f, 0.25f, 1.0f, 1.0f};
  std::string programName = "Init";
  std::vector<unsigned char> chunk;
  int chunksLoaded = 0;

  // The chunk is the values followed by the program name.
  std::intptr_t getChunk(void* ptr) {
    const auto* first = reinterpret_cast<const unsigned char*>(values);
    chunk.assign(first, first + sizeof values);
    chunk.insert(chunk.end(), programName.begin(), programName.end());
    *static_cast<void**>(ptr) = chunk.data();
    return static_cast<std::intptr_t>(chunk.size());
  }

  std::intptr_t setChunk(std::intptr_t size, const void* ptr) {
    if (size < static_cast<std::intptr_t>(sizeof values)) return 0;
    const auto* first = static_cast<const char*>(ptr);
    std::memcpy(values, first, sizeof values);
    programName.assign(first + sizeof values, first + size);
    ++chunksLoaded;
    return 1;
  }

  std::string parameterText(std::int32_t opcode, std::int32_t index) const {
    const Parameter& parameter = kParameters[index];
    if (opcode == effGetParamName) return parameter.name;
    if (opcode == effGetParamLabel) return parameter.label;
    return parameter.display(values[index]);
  }

  std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr) {
    switch (opcode) {
      case effGetParamName:
      case effGetParamLabel:
      case effGetParamDisplay:
        return copyCut(parameterText(opcode, index), ptr, kTextLimit);
      case effGetProgramName:
        return copyCut(programName, ptr, kProgramNameLimit);
      case effSetProgramName:
        programName = static_cast<const char*>(ptr);
        return 1;
      case effGetChunk:
        return getChunk(ptr);
      case effSetChunk:
        return setChunk(value, ptr);
      default:
        return 0;
    }
  }
};

FakePlugin& pluginOf(AEffect* effect) { return *static_cast<FakePlugin*>(effect->object); }

std::intptr_t VST_CALL dispatcher(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                  std::intptr_t value, void* ptr, float) {
  if (opcode != effClose) return pluginOf(effect).dispatch(opcode, index, value, ptr);
  delete &pluginOf(effect);
  return 0;
}

float VST_CALL getParameter(AEffect* effect, std::int32_t index) {
  return pluginOf(effect).values[index];
}

void VST_CALL setParameter(AEffect* effect, std::int32_t index, float value) {
  pluginOf(effect).values[index] = value;
}

template <FakePrograms programs>
AEffect* VST_CALL fakeEntry(audioMasterCallback) {
  auto* plugin = new FakePlugin;
  AEffect& record = plugin->record;
  record.magic = kEffectMagic;
  record.dispatcher = dispatcher;
  record.getParameter = getParameter;
  record.setParameter = setParameter;
  record.numPrograms = 1;
  record.numParams = kFakeParameters;
  record.flags = programs == FakePrograms::Chunks ? effFlagsProgramChunks : 0;
  record.object = plugin;
  record.uniqueID = kFakePluginId;
  record.version = 1;
  return &record;
}

}  // namespace

std::unique_ptr<PluginSession> openFakePlugin(FakePrograms programs) {
  return std::make_unique<PluginSession>(programs == FakePrograms::Chunks
                                             ? fakeEntry<FakePrograms::Chunks>
                                             : fakeEntry<FakePrograms::Parameters>);
}

int chunksLoaded(PluginSession& session) {
  return static_cast<FakePlugin*>(session.record().object)->chunksLoaded;
}
