// Reads the input as an LV2 host's calls (lv2_run_encoding.h) and plays them
// on an LV2 instance made through the descriptor and, alongside, on a VST 2.x
// instance: control port writes of any bits, time:Position objects with any
// properties and malformed atoms on the time port, runs of any length up to
// the block length, and activate and deactivate in any order. The VST 2.x
// instance gets what the ports stand for, as the LV2 shell hands it on, and
// resume and suspend where the LV2 instance is activated and deactivated.
// Every output sample of a run with finite inputs must be finite, and each
// run's outputs must be the VST 2.x instance's, bit for bit.
#include <lv2/atom/atom.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "lv2_harness.h"
#include "lv2_run_encoding.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::int32_t kFallbackBlockSize = 1024;  // the LV2 shell's, without a nominal length
constexpr const char* kTimeKeys[kTimeKeyCount] = {LV2_TIME__beatsPerMinute, LV2_TIME__beatsPerBar,
                                                  LV2_TIME__beatUnit,       LV2_TIME__beat,
                                                  LV2_TIME__speed,          LV2_TIME__frame};
constexpr const char* kTimeTypes[kTimeTypeCount] = {LV2_ATOM__Float, LV2_ATOM__Double,
                                                    LV2_ATOM__Int, LV2_ATOM__Long, LV2_ATOM__Bool};

Bytes paddedTo8(Bytes bytes) {
  bytes.resize((bytes.size() + 7) / 8 * 8, 0);
  return bytes;
}

// The events for the time port, kept as a host builds them, and handed over
// in a buffer exactly as long as the sequence says it is.
class TimeEvents {
 public:
  explicit TimeEvents(Lv2Instance& lv2) : lv2_(lv2) {}

  void addRaw(const Bytes& body) {
    FieldWriter event;
    event.put(std::int64_t{0});  // the event's frame
    events_.push_back(joined(event.bytes(), paddedTo8(body)));
  }

  void addTimePosition(SequenceReader& reader) {
    const auto shape = reader.take<std::uint8_t>();
    const bool damaged = (shape & kDamagedObjectSize) != 0;
    const auto damagedSize = damaged ? reader.take<std::uint32_t>() : 0;
    Bytes properties;
    for (int count = shape & kPropertyCountMask; count > 0; --count)
      properties = joined(properties, propertyFrom(reader));
    const auto trueSize =
        static_cast<std::uint32_t>(sizeof(LV2_Atom_Object_Body) + properties.size());
    FieldWriter object;
    object.put(damaged ? damagedSize : trueSize);
    object.put(lv2_.urid((shape & kBlankObject) != 0 ? LV2_ATOM__Blank : LV2_ATOM__Object));
    object.put(std::uint32_t{0});  // id
    object.put(lv2_.urid(LV2_TIME__Position));
    addRaw(joined(object.bytes(), properties));
  }

  // The sequence's header and the events, in 64-bit words as hosts align it.
  std::vector<std::uint64_t> sequence() const {
    Bytes body;
    for (const Bytes& event : events_) body = joined(body, event);
    FieldWriter header;
    header.put(static_cast<std::uint32_t>(sizeof(LV2_Atom_Sequence_Body) + body.size()));
    header.put(lv2_.urid(LV2_ATOM__Sequence));
    header.put(std::uint64_t{0});  // unit and pad
    const Bytes bytes = joined(header.bytes(), body);
    std::vector<std::uint64_t> words(bytes.size() / sizeof(std::uint64_t));
    std::memcpy(words.data(), bytes.data(), bytes.size());
    return words;
  }

  void clear() { events_.clear(); }

 private:
  Bytes propertyFrom(SequenceReader& reader) {
    const char* key = kTimeKeys[reader.take<std::uint8_t>() % kTimeKeyCount];
    const char* type = kTimeTypes[reader.take<std::uint8_t>() % kTimeTypeCount];
    const Bytes value = reader.takePayload();
    FieldWriter property;
    property.put(lv2_.urid(key));
    property.put(std::uint32_t{0});  // context
    property.put(static_cast<std::uint32_t>(value.size()));
    property.put(lv2_.urid(type));
    return joined(property.bytes(), paddedTo8(value));
  }

  Lv2Instance& lv2_;
  std::vector<Bytes> events_;
};

// What the LV2 shell hands the runtime for the control ports before a run: a
// port's value clamped into the control's range and normalised over it, when
// it holds a number other than the one last handed on.
class ControlMirror {
 public:
  void send(const ControlValues& ports, PluginInstance& vst) {
    for (std::int32_t index = 0; index < kParameterCount; ++index) {
      const float value = ports[index];
      if (std::isnan(value) || value == sent_[index]) continue;
      sent_[index] = value;
      const ParameterView& range = kParameters[index];
      const double bounded = std::clamp<double>(value, range.minimum, range.maximum);
      vst.setParameter(
          index, static_cast<float>((bounded - range.minimum) / (range.maximum - range.minimum)));
    }
  }

 private:
  ControlValues sent_{};  // the defaults, where both editions start
};

void requireSameOutputs(const ChannelBuffers<float>& lv2, const ChannelBuffers<float>& vst) {
  for (std::size_t channel = 0; channel < kChannelCount; ++channel)
    for (std::int32_t frame = 0; frame < lv2.frames(); ++frame) {
      const float a = lv2.at(channel, frame);
      const float b = vst.at(channel, frame);
      if (std::memcmp(&a, &b, sizeof a) == 0) continue;
      std::fprintf(stderr, "==== output %zu, frame %d: LV2 %.9g, VST 2.x %.9g\n", channel + 1,
                   static_cast<int>(frame), static_cast<double>(a), static_cast<double>(b));
      propertyBroken("each run's outputs are the VST 2.x edition's for the same settings");
    }
}

std::int32_t blockSizeFor(std::int32_t nominalBlockLength) {
  return nominalBlockLength > 0 ? nominalBlockLength : kFallbackBlockSize;
}

class Lv2RunPlayer {
 public:
  Lv2RunPlayer(SequenceReader& reader, std::int32_t nominalBlockLength)
      : reader_(reader),
        lv2_(nominalBlockLength),
        vst_(HostLog::dropped),
        maxFrames_(std::min(blockSizeFor(nominalBlockLength), kMaxRunFrames)) {
    lv2_.connectControls();
    vst().dispatch(effOpen);
    vst().dispatch(effSetSampleRate, 0, 0, nullptr, kSampleRate);
    vst().dispatch(effSetBlockSize, 0, blockSizeFor(nominalBlockLength));
  }

  void play() {
    while (!reader_.atEnd()) playStep();
  }

 private:
  PluginInstance& vst() { return vst_.plugin; }

  void playStep() {
    switch (static_cast<Lv2Action>(reader_.take<std::uint8_t>() % kLv2ActionCount)) {
      case Lv2Action::SetControl: {
        const auto port = reader_.take<std::uint8_t>() % kParameterCount;
        lv2_.controls()[port] = reader_.take<float>();
        break;
      }
      case Lv2Action::AddTimePosition:
        events_.addTimePosition(reader_);
        break;
      case Lv2Action::AddRawEvent:
        events_.addRaw(reader_.takePayload());
        break;
      case Lv2Action::Activate:
        lv2_.activate();
        vst().dispatch(effMainsChanged, 0, 1);
        break;
      case Lv2Action::Deactivate:
        lv2_.deactivate();
        vst().dispatch(effMainsChanged, 0, 0);
        break;
      case Lv2Action::Run:
        run();
        break;
    }
  }

  void run() {
    const std::int32_t frames = reader_.take<std::uint16_t>() % (maxFrames_ + 1);
    const auto amplitude = reader_.take<float>();
    const std::vector<std::uint64_t> sequence = events_.sequence();
    lv2_.connectTime(sequence.data());
    controls_.send(lv2_.controls(), vst());
    const bool finite = std::isfinite(amplitude);
    const ChannelBuffers<float> expected =
        processCheckedBlock<float>(vst(), {frames, amplitude, false, false, finite});
    requireSameOutputs(lv2_.run(frames, amplitude, finite), expected);
    lv2_.connectTime(nullptr);
    events_.clear();
  }

  SequenceReader& reader_;
  Lv2Instance lv2_;
  HostedPlugin vst_;
  std::int32_t maxFrames_;
  TimeEvents events_{lv2_};
  ControlMirror controls_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SequenceReader reader(data, size);
  const auto nominalBlockLength = reader.take<std::int32_t>();
  Lv2RunPlayer(reader, nominalBlockLength).play();
  return 0;
}
