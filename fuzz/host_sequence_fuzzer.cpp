// Reads the input as a sequence of host actions (host_sequence_encoding.h) and
// plays it against one instance: any dispatcher opcode with any arguments,
// parameter reads and writes with any index and value, chunk saves and loads,
// and processing of any frame count up to kMaxFrames. Every pointer the
// plugin may write through points at storage the harness owns and sizes for
// that opcode. The sequence always ends with effClose, which must answer 1.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "host_sequence_encoding.h"
#include "plugin_harness.h"
#include "plugin_host/text_reply.h"

namespace {

// Generous for every text opcode; what the plugin may use of it is checked.
constexpr std::size_t kTextBufferBytes = 256;
// Zeroed room for any structure an opcode may read or fill.
constexpr std::size_t kStructureBytes = 512;

// What an opcode does with its pointer argument, and so what the harness
// hands it.
enum class PointerUse {
  None,                // nothing: null
  TextOut,             // writes a text: a text buffer
  TextIn,              // reads a text: the step's payload, zero-terminated
  Structure,           // reads or fills a structure: zeroed storage
  PointerOut,          // stores a pointer: a pointer location
  SpeakerArrangement,  // stores a pointer through value and through ptr
  ChunkOut,            // effGetChunk
  ChunkIn,             // effSetChunk
};

PointerUse pointerUse(std::int32_t opcode) {
  switch (opcode) {
    case effGetProgramName:
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effGetProgramNameIndexed:
    case effGetEffectName:
    case effGetErrorText:
    case effGetVendorString:
    case effGetProductString:
    case effShellGetNextPlugin:
      return PointerUse::TextOut;
    case effSetProgramName:
    case effString2Parameter:
    case effCanDo:
      return PointerUse::TextIn;
    case effProcessEvents:
    case effGetInputProperties:
    case effGetOutputProperties:
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
    case effProcessVarIo:
    case effSetSpeakerArrangement:
    case effGetParameterProperties:
    case effGetMidiProgramName:
    case effGetCurrentMidiProgram:
    case effGetMidiProgramCategory:
    case effGetMidiKeyName:
    case effBeginLoadBank:
    case effBeginLoadProgram:
      return PointerUse::Structure;
    case effEditGetRect:
      return PointerUse::PointerOut;
    case effGetSpeakerArrangement:
      return PointerUse::SpeakerArrangement;
    case effGetChunk:
      return PointerUse::ChunkOut;
    case effSetChunk:
      return PointerUse::ChunkIn;
    default:
      return PointerUse::None;
  }
}

void requireWithinLimit(const TextReply& reply, std::size_t limit) {
  const auto text = reply.text();
  require(text.has_value() && text->size() < limit && reply.restUntouched(),
          "a text opcode writes at most its limit, terminated, and nothing after");
}

struct DispatchStep {
  std::int32_t opcode;
  std::int32_t index;
  std::intptr_t value;
  float opt;
  std::vector<std::uint8_t> payload;
};

class SequencePlayer {
 public:
  explicit SequencePlayer(SequenceReader& reader) : reader_(reader) {}

  void play() {
    while (!reader_.atEnd()) playStep();
    require(hosted_.plugin.close() == 1, "effClose answers 1");
  }

 private:
  PluginInstance& plugin() { return hosted_.plugin; }

  void playStep() {
    switch (static_cast<HostAction>(reader_.take<std::uint8_t>() % kHostActionCount)) {
      case HostAction::Dispatch:
        dispatch(readDispatchStep());
        break;
      case HostAction::SetParameter:
        setParameter();
        break;
      case HostAction::GetParameter:
        plugin().getParameter(reader_.take<std::int32_t>());
        break;
      case HostAction::LoadSavedCopy:
        loadSavedCopy(reader_.take<std::int32_t>());
        break;
      case HostAction::LoadLiveSave:
        loadLiveSave(reader_.take<std::int32_t>());
        break;
      case HostAction::ProcessFloat:
        process<float>();
        break;
      case HostAction::ProcessDouble:
        process<double>();
        break;
    }
  }

  DispatchStep readDispatchStep() {
    DispatchStep step{};
    step.opcode = reader_.take<std::uint8_t>() & kOpcodeMask;
    step.index = reader_.take<std::int32_t>();
    step.value = static_cast<std::intptr_t>(reader_.take<std::int64_t>());
    step.opt = reader_.take<float>();
    if (opcodeTakesPayload(step.opcode)) step.payload = reader_.takePayload();
    return step;
  }

  void dispatch(DispatchStep step) {
    if (step.opcode == effClose) return;  // only the last step closes
    switch (pointerUse(step.opcode)) {
      case PointerUse::None:
        send(step, nullptr);
        break;
      case PointerUse::TextOut:
        readText(step);
        break;
      case PointerUse::TextIn:
        step.payload.push_back('\0');
        send(step, step.payload.data());
        break;
      case PointerUse::Structure:
        sendStructure(step);
        break;
      case PointerUse::PointerOut: {
        void* location = nullptr;
        send(step, &location);
        break;
      }
      case PointerUse::SpeakerArrangement: {
        void* inputArrangement = nullptr;
        void* outputArrangement = nullptr;
        step.value = reinterpret_cast<std::intptr_t>(&inputArrangement);
        send(step, &outputArrangement);
        break;
      }
      case PointerUse::ChunkOut:
        save(step);
        break;
      case PointerUse::ChunkIn:
        load(step.payload.data(), step.payload.size(), step.index, step.opt);
        break;
    }
  }

  std::intptr_t send(const DispatchStep& step, void* ptr) {
    return plugin().dispatch(step.opcode, step.index, step.value, ptr, step.opt);
  }

  void readText(const DispatchStep& step) {
    TextReply reply(kTextBufferBytes);
    send(step, reply.buffer());
    const std::size_t limit = textLimitOf(step.opcode);
    if (limit != 0) requireWithinLimit(reply, limit);
  }

  // effSetSpeakerArrangement takes a structure through value as well.
  void sendStructure(DispatchStep step) {
    std::vector<std::uint8_t> structure(kStructureBytes, 0);
    std::vector<std::uint8_t> secondStructure(kStructureBytes, 0);
    if (step.opcode == effSetSpeakerArrangement)
      step.value = reinterpret_cast<std::intptr_t>(secondStructure.data());
    send(step, structure.data());
  }

  void setParameter() {
    const auto index = reader_.take<std::int32_t>();
    plugin().setParameter(index, reader_.take<float>());
  }

  void save(const DispatchStep& step) {
    const SavedChunk saved = saveChunk(plugin(), step.index, step.value, step.opt);
    lastSaved_ = saved.bytes;
    liveSave_ = saved.pluginBuffer;
  }

  void load(void* data, std::size_t byteCount, std::int32_t presetFlag, float opt = 0.0f) {
    if (!allFinite(loadableValues(data, byteCount))) nonFiniteLoaded_ = true;
    loadChunk(plugin(), data, byteCount, presetFlag, opt);
    liveSave_ = nullptr;  // the load replaced the plugin's buffer
  }

  void loadSavedCopy(std::int32_t presetFlag) {
    if (!lastSaved_.empty()) load(lastSaved_.data(), lastSaved_.size(), presetFlag);
  }

  void loadLiveSave(std::int32_t presetFlag) {
    if (liveSave_ != nullptr) load(liveSave_, kSavedChunkSize, presetFlag);
  }

  // Inputs are finite whenever the amplitude is.
  template <typename Sample>
  void process() {
    const std::int32_t frames = reader_.take<std::uint16_t>() % (kMaxFrames + 1);
    const auto mode = reader_.take<std::uint8_t>();
    const auto amplitude = reader_.take<Sample>();
    const BlockRequest request{frames,
                               static_cast<double>(amplitude),
                               (mode & kProcessInPlace) != 0,
                               (mode & kProcessAccumulating) != 0,
                               std::isfinite(amplitude) && !nonFiniteLoaded_,
                               (mode & kProcessMisaligned) != 0 ? std::size_t{1} : 0};
    processCheckedBlock<Sample>(plugin(), request);
  }

  SequenceReader& reader_;
  HostedPlugin hosted_;
  std::vector<std::uint8_t> lastSaved_;
  void* liveSave_ = nullptr;
  bool nonFiniteLoaded_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SequenceReader reader(data, size);
  SequencePlayer(reader).play();
  return 0;
}
