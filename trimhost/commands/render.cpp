#include "trimhost/commands/render.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "plugin_host/channel_buffers.h"
#include "trimhost/audio/audio_writer.h"
#include "trimhost/audio/channel_map.h"
#include "trimhost/audio/merged_input.h"
#include "trimhost/cli/progress.h"
#include "trimhost/cli/tool_error.h"
#include "trimhost/commands/render_report.h"
#include "trimhost/plugin/plugin_session.h"
#include "trimhost/safety/file_identity.h"
#include "trimhost/safety/output_file.h"
#include "trimhost/safety/render_child.h"
#include "trimhost/settings/preset_commands.h"
#include "trimhost/settings/text_match.h"

namespace {

// What one render needs besides the options: the open files, the plugin and
// the channel counts on each side.
struct RenderJob {
  MergedInput& reader;
  AudioWriter& writer;
  PluginSession& session;
  std::int32_t blockSize;
  std::size_t fileChannels;
  std::vector<int> sources;  // per plugin input, the file channel that feeds it
  std::size_t outputChannels;
  PeakMeter inputPeaks;
  bool compensateLatency;
  std::int64_t silenceAfter = 0;  // frames of silence still to process after the input
  std::int32_t latency = 0;       // the plugin's initial delay
  std::int64_t dropFrames = 0;    // output frames still to leave out at the start
};

// Some plugins state their delay only in their first processing call (and
// tell the host its input and output changed): the delay is read after it.
// Output lines up with input when that many frames are dropped from its
// start and fed as silence after the input's end; nothing has been written
// yet when it is read.
void noteLatency(RenderJob& job) {
  job.latency = std::max(0, job.session.record().initialDelay);
  if (!job.compensateLatency) return;
  job.dropFrames = job.latency;
  job.silenceAfter += job.latency;
}

// A map names the channels it uses: those it leaves out need no --drop-extra.
void checkChannels(const RenderOptions& options, PluginSession& session, std::size_t fileChannels) {
  const auto inputs = static_cast<std::size_t>(session.record().numInputs);
  const std::int32_t outputs = session.record().numOutputs;
  if (fileChannels > inputs && !options.dropExtraChannels && options.channelMap.empty()) {
    const std::string files =
        options.merged.empty() ? options.input + " has " : "the merged inputs have ";
    throw ToolError(ExitStatus::Failure, files + std::to_string(fileChannels) +
                                             " channels, the plugin takes " +
                                             std::to_string(inputs) +
                                             "; --drop-extra leaves out the rest, --map chooses");
  }
  if (outputs < 1) throw ToolError(ExitStatus::Plugin, "the plugin has no outputs");
  if (options.outputs > outputs) {
    throw ToolError(ExitStatus::Failure, "--outputs " + std::to_string(options.outputs) +
                                             ": the plugin has only " + std::to_string(outputs));
  }
}

void checkProcessing(const RenderOptions& options, PluginSession& session) {
  if (options.doublePrecision && !session.hasFlag(effFlagsCanDoubleReplacing)) {
    throw ToolError(ExitStatus::Plugin, "the plugin offers no 64-bit processing (--double)");
  }
  if (!options.doublePrecision && !session.hasFlag(effFlagsCanReplacing)) {
    throw ToolError(ExitStatus::Plugin, "the plugin offers no replacing 32-bit processing");
  }
}

// 32-bit float keeps 24 bits: an input that holds more goes through the
// plugin's 64-bit path where there is one, and says so.
bool processesDoubles(const RenderOptions& options, PluginSession& session, int inputFormat) {
  if (options.doublePrecision) {
    std::printf("processing: 64-bit float (--double)\n");
    return true;
  }
  const std::string held = sampleFormatName(inputFormat);
  if (exactBits(inputFormat) <= 24) {
    std::printf("processing: 32-bit float\n");
    return false;
  }
  if (session.hasFlag(effFlagsCanDoubleReplacing)) {
    std::printf(
        "processing: 64-bit float (the input holds %s samples, more than 32-bit float "
        "keeps)\n",
        held.c_str());
    return true;
  }
  std::printf("processing: 32-bit float\n");
  std::fprintf(stderr,
               "trimhost: warning: the input holds %s samples, but the plugin offers only 32-bit "
               "float processing: precision beyond 24 bits is lost\n",
               held.c_str());
  return false;
}

template <typename Sample>
void deinterleave(const std::vector<Sample>& frames, std::size_t fileChannels,
                  const std::vector<int>& sources, ChannelBuffers<Sample>& inputs) {
  for (std::int32_t frame = 0; frame < inputs.frames(); ++frame)
    for (std::size_t input = 0; input < inputs.channels(); ++input)
      if (sources[input] != kSilence)
        inputs.at(input, frame) = frames[static_cast<std::size_t>(frame) * fileChannels +
                                         static_cast<std::size_t>(sources[input])];
}

template <typename Sample>
void interleave(const ChannelBuffers<Sample>& outputs, std::size_t outputChannels,
                std::vector<Sample>& frames) {
  for (std::int32_t frame = 0; frame < outputs.frames(); ++frame)
    for (std::size_t channel = 0; channel < outputChannels; ++channel)
      frames[static_cast<std::size_t>(frame) * outputChannels + channel] =
          outputs.at(channel, frame);
}

// A plugin that writes outside the buffers it was given may have damaged
// anything: the render stops rather than trust what it wrote.
template <typename Sample>
void refuseWritesOutside(const ChannelBuffers<Sample>& buffers, const char* which) {
  if (const auto hit = buffers.firstGuardHit()) {
    throw ToolError(ExitStatus::Plugin, std::string("the plugin wrote outside the host's ") +
                                            which + " buffers (" + hit->describe() + ")");
  }
}

// One block through the plugin: buffers of exactly the block's length, as a
// host hands them, with guards that catch writes outside them.
template <typename Sample>
void processBlock(RenderJob& job, const std::vector<Sample>& in, std::int32_t frames,
                  std::vector<Sample>& out) {
  ChannelBuffers<Sample> inputs(static_cast<std::size_t>(job.session.record().numInputs), frames,
                                0);
  ChannelBuffers<Sample> outputs(static_cast<std::size_t>(job.session.record().numOutputs), frames,
                                 0);
  deinterleave(in, job.fileChannels, job.sources, inputs);
  job.session.plugin().process(inputs, outputs);
  refuseWritesOutside(inputs, "input");
  refuseWritesOutside(outputs, "output");
  interleave(outputs, job.outputChannels, out);
}

// The next block's input: from the file, then silence for as long as the
// job asks. Answers its frames; 0 at the end.
template <typename Sample>
std::int32_t nextBlock(RenderJob& job, std::vector<Sample>& in) {
  const auto read = static_cast<std::int32_t>(job.reader.read(in.data(), job.blockSize));
  if (read > 0) {
    job.inputPeaks.measure(in.data(), static_cast<std::size_t>(read));
    return read;
  }
  const auto silent =
      static_cast<std::int32_t>(std::min<std::int64_t>(job.blockSize, job.silenceAfter));
  std::fill(in.begin(), in.end(), Sample{});
  job.silenceAfter -= silent;
  return silent;
}

// Answers the frames written: those processed, less the plugin's delay when
// it is compensated.
template <typename Sample>
std::int64_t renderBlocks(RenderJob& job, HostTransport& transport) {
  std::vector<Sample> in(static_cast<std::size_t>(job.blockSize) * job.fileChannels);
  std::vector<Sample> out(static_cast<std::size_t>(job.blockSize) * job.outputChannels);
  const std::int64_t expected = job.reader.expectedFrames();
  Progress progress(expected < 0 ? -1 : expected + job.silenceAfter);
  std::int64_t processed = 0;
  std::int64_t written = 0;
  while (const std::int32_t frames = nextBlock(job, in)) {
    processBlock(job, in, frames, out);
    if (processed == 0) noteLatency(job);
    const auto dropped = static_cast<std::int32_t>(std::min<std::int64_t>(frames, job.dropFrames));
    job.dropFrames -= dropped;
    job.writer.write(out.data() + static_cast<std::size_t>(dropped) * job.outputChannels,
                     frames - dropped);
    written += frames - dropped;
    transport.advance(frames);
    processed += frames;
    progress.update(processed);
  }
  return written;
}

void warnAboutClipping(const AudioWriter& writer, const SF_INFO& output) {
  const std::string advice = holdsFloat(output) ? "--format float32 keeps it"
                                                : "write .wav with --format float32 to keep it";
  for (std::size_t channel = 0; channel < writer.clipped().size(); ++channel) {
    if (writer.clipped()[channel] == 0) continue;
    std::fprintf(stderr,
                 "trimhost: warning: output channel %zu peaks at %s dBFS and was clipped to full "
                 "scale in %s (%lld samples); %s\n",
                 channel + 1, dbfs(writer.levels().peaks()[channel]).c_str(),
                 sampleFormatName(output.format).c_str(),
                 static_cast<long long>(writer.clipped()[channel]), advice.c_str());
  }
}

void printSummary(const RenderResult& result, const SF_INFO& input, const SF_INFO& output,
                  bool peaksBeforeEncoding) {
  const double audioSeconds = static_cast<double>(result.frames) / input.samplerate;
  if (result.latency > 0) {
    std::printf("latency: %s, %s\n", counted(result.latency, "frame").c_str(),
                result.latencyCompensated ? "compensated" : "not compensated");
  }
  if (const std::string padded = paddingList(result.mergedInputs, result.paddedFrames);
      !padded.empty())
    std::printf("padded with silence to the longest input: %s\n", padded.c_str());
  std::printf("in:  %zu channel(s), %d Hz, %s, peak dBFS %s%s\n", result.peaksIn.size(),
              input.samplerate, sampleFormatName(input.format).c_str(),
              dbfsList(result.peaksIn).c_str(), nanNote(result.nanSamplesIn).c_str());
  std::printf(
      "out: %zu channel(s), %s, peak dBFS %s%s%s (%s, %.3f s, rendered in %.3f s, "
      "%.1fx real time)\n",
      result.peaksOut.size(), sampleFormatName(output.format).c_str(),
      dbfsList(result.peaksOut).c_str(), peaksBeforeEncoding ? " before encoding" : "",
      nanNote(result.nanSamplesOut).c_str(), counted(result.frames, "frame").c_str(), audioSeconds,
      result.seconds, realTimeFactor(result));
}

std::int64_t framesOf(double seconds, int sampleRate) { return std::llround(seconds * sampleRate); }

std::vector<std::string> inputsOf(const RenderOptions& options) {
  return options.merged.empty() ? std::vector<std::string>{options.input} : options.merged;
}

// Before anything is opened for writing, none of the outputs may be a file
// the render reads.
void refuseOutputsOntoInputs(const RenderOptions& options) {
  std::vector<NamedFile> inputs{{"the plugin", options.plugin}};
  for (const std::string& input : inputsOf(options)) inputs.push_back({"the input", input});
  for (const NamedFile& file : settingsInputs(options.settings)) inputs.push_back(file);
  refuseOverlaps(inputs, {{"the output", options.output}, {"--save-preset", options.savePreset}});
}

// What a render will do, settled before the first block: every refusal that
// can come from the files and the plugin comes before any audio is processed.
struct RenderPlan {
  std::size_t fileChannels;
  std::vector<int> sources;  // per plugin input, the file channel that feeds it
  std::size_t outputChannels;
  std::int64_t tailFrames;
  SF_INFO outputInfo;
  bool doubles;  // through the plugin's 64-bit path
};

// Checks the files against the plugin and sets the plugin up as the options
// ask.
RenderPlan planRender(const RenderOptions& options, MergedInput& reader, PluginSession& session,
                      OutputFile& output) {
  const SF_INFO& input = reader.first();
  RenderPlan plan;
  plan.fileChannels = reader.channels();
  checkChannels(options, session, plan.fileChannels);
  plan.sources = pluginInputSources(options.channelMap, plan.fileChannels,
                                    static_cast<std::size_t>(session.record().numInputs));
  checkProcessing(options, session);
  plan.outputChannels =
      static_cast<std::size_t>(options.outputs > 0 ? options.outputs : session.record().numOutputs);
  plan.tailFrames = framesOf(options.tailSeconds, input.samplerate);
  const std::int64_t expected = reader.expectedFrames();
  plan.outputInfo =
      planOutput(input, static_cast<int>(plan.outputChannels),
                 expected < 0 ? -1 : expected + plan.tailFrames, options.format, output);
  // Hosts set the sample rate before a plugin's state: plugins may derive
  // coefficients from it when a parameter changes.
  session.configure(input.samplerate, options.blockSize);
  applySettings(session, options.settings);
  plan.doubles = processesDoubles(options, session, reader.widestFormat());
  return plan;
}

// Every block through the plugin and into the writer, which it closes;
// answers what was rendered and measured.
RenderResult runPlan(const RenderOptions& options, const RenderPlan& plan, MergedInput& reader,
                     PluginSession& session, AudioWriter& writer) {
  const SF_INFO& input = reader.first();
  RenderJob job{reader,
                writer,
                session,
                options.blockSize,
                plan.fileChannels,
                plan.sources,
                plan.outputChannels,
                PeakMeter(plan.fileChannels),
                options.latencyCompensation,
                plan.tailFrames};
  session.resume();
  RenderResult result;
  result.latencyCompensated = options.latencyCompensation;
  result.tailFrames = plan.tailFrames;
  result.settings = session.parameters();
  HostTransport transport(session.host().timeInfo(), options.transport, input.samplerate);
  const auto start = std::chrono::steady_clock::now();
  result.frames =
      plan.doubles ? renderBlocks<double>(job, transport) : renderBlocks<float>(job, transport);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  session.suspend();
  writer.close();
  result.input = options.input;
  result.mergedInputs = options.merged;
  if (!options.merged.empty()) result.paddedFrames = reader.paddedFrames();
  result.output = options.output;
  result.sampleRate = input.samplerate;
  result.peaksIn = job.inputPeaks.peaks();
  result.peaksOut = writer.peaks().peaks();
  result.nanSamplesIn = job.inputPeaks.nanSamples();
  result.nanSamplesOut = writer.peaks().nanSamples();
  result.clipped = writer.clipped();
  result.seconds = elapsed.count();
  result.latency = job.latency;
  return result;
}

void reportRender(const RenderResult& result, const SF_INFO& input, const RenderPlan& plan,
                  const AudioWriter& writer) {
  printSummary(result, input, plan.outputInfo, writer.peaksBeforeEncoding());
  warnAboutClipping(writer, plan.outputInfo);
}

}  // namespace

RenderResult renderFile(const RenderOptions& options) {
  refuseOutputsOntoInputs(options);
  OutputFile output(options.output, options.existingOutputs);
  std::optional<OutputFile> preset;
  if (!options.savePreset.empty()) preset.emplace(options.savePreset, options.existingOutputs);
  MergedInput reader(inputsOf(options));
  PluginSession session(options.plugin);
  session.host().keepLog(false);
  const RenderPlan plan = planRender(options, reader, session, output);
  AudioWriter writer(output, plan.outputInfo);
  const RenderResult result = runPlan(options, plan, reader, session, writer);
  if (preset) savePreset(session, *preset);
  output.commit();
  reportRender(result, reader.first(), plan, writer);
  return result;
}

void runRender(const RenderOptions& options) {
  if (options.json && options.output == "-")
    throw ToolError(ExitStatus::Usage,
                    "--json prints to standard output, so the output cannot be - as well");
  std::optional<JsonOutput> json;
  if (options.json) json.emplace();
  const ChildOutcome outcome = renderAlone(options);
  if (json) json->print(outcome.json);
  if (outcome.exitStatus != 0)
    throw ToolError(static_cast<ExitStatus>(outcome.exitStatus), outcome.json.value("message", ""));
}
