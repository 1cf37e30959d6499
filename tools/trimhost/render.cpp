#include "render.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "audio_reader.h"
#include "audio_writer.h"
#include "channel_buffers.h"
#include "file_identity.h"
#include "output_file.h"
#include "plugin_session.h"
#include "preset_commands.h"
#include "progress.h"
#include "tool_error.h"

namespace {

// What one render needs besides the options: the open files, the plugin and
// the channel counts on each side.
struct RenderJob {
  AudioReader& reader;
  AudioWriter& writer;
  PluginSession& session;
  std::int32_t blockSize;
  std::size_t fileChannels;
  std::size_t outputChannels;
  PeakMeter inputPeaks;
};

void checkChannels(const RenderOptions& options, PluginSession& session, std::size_t fileChannels) {
  const auto inputs = static_cast<std::size_t>(session.record().numInputs);
  const std::int32_t outputs = session.record().numOutputs;
  if (fileChannels > inputs && !options.dropExtraChannels) {
    throw ToolError(ExitStatus::Failure, options.input + " has " + std::to_string(fileChannels) +
                                             " channels, the plugin takes " +
                                             std::to_string(inputs) +
                                             "; --drop-extra leaves out the rest");
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
                  ChannelBuffers<Sample>& inputs) {
  const std::size_t used = std::min(fileChannels, inputs.channels());
  for (std::int32_t frame = 0; frame < inputs.frames(); ++frame)
    for (std::size_t channel = 0; channel < used; ++channel)
      inputs.at(channel, frame) = frames[static_cast<std::size_t>(frame) * fileChannels + channel];
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
  deinterleave(in, job.fileChannels, inputs);
  job.session.plugin().process(inputs, outputs);
  refuseWritesOutside(inputs, "input");
  refuseWritesOutside(outputs, "output");
  interleave(outputs, job.outputChannels, out);
}

template <typename Sample>
std::int64_t renderBlocks(RenderJob& job, HostTransport& transport) {
  std::vector<Sample> in(static_cast<std::size_t>(job.blockSize) * job.fileChannels);
  std::vector<Sample> out(static_cast<std::size_t>(job.blockSize) * job.outputChannels);
  Progress progress(job.reader.expectedFrames());
  std::int64_t done = 0;
  while (const auto frames = static_cast<std::int32_t>(job.reader.read(in.data(), job.blockSize))) {
    job.inputPeaks.measure(in.data(), static_cast<std::size_t>(frames));
    processBlock(job, in, frames, out);
    job.writer.write(out.data(), frames);
    transport.advance(frames);
    done += frames;
    progress.update(done);
  }
  return done;
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

void printSummary(const RenderJob& job, const SF_INFO& input, const SF_INFO& output,
                  std::int64_t frames, double seconds) {
  const double audioSeconds = static_cast<double>(frames) / input.samplerate;
  std::printf("in:  %zu channel(s), %d Hz, %s, peak dBFS %s\n", job.fileChannels, input.samplerate,
              sampleFormatName(input.format).c_str(), job.inputPeaks.dbfsList().c_str());
  std::printf(
      "out: %zu channel(s), %s, peak dBFS %s%s (%lld frames, %.3f s, rendered in %.3f s, "
      "%.1fx real time)\n",
      job.outputChannels, sampleFormatName(output.format).c_str(),
      job.writer.peaks().dbfsList().c_str(),
      job.writer.peaksBeforeEncoding() ? " before encoding" : "", static_cast<long long>(frames),
      audioSeconds, seconds, seconds > 0 ? audioSeconds / seconds : 0.0);
}

}  // namespace

void runRender(const RenderOptions& options) {
  refuseOverlaps({{"the plugin", options.plugin},
                  {"the input", options.input},
                  {"--preset", options.settings.presetFile}},
                 {{"the output", options.output}, {"--save-preset", options.savePreset}});
  OutputFile output(options.output);
  std::optional<OutputFile> preset;
  if (!options.savePreset.empty()) preset.emplace(options.savePreset);
  AudioReader reader(options.input);
  const SF_INFO& input = reader.info();
  PluginSession session(options.plugin);
  session.host().keepLog(false);
  const auto fileChannels = static_cast<std::size_t>(input.channels);
  checkChannels(options, session, fileChannels);
  checkProcessing(options, session);
  const auto outputChannels =
      static_cast<std::size_t>(options.outputs > 0 ? options.outputs : session.record().numOutputs);
  const SF_INFO outputInfo = planOutput(input, static_cast<int>(outputChannels),
                                        reader.expectedFrames(), options.format, output);
  // Hosts set the sample rate before a plugin's state: plugins may derive
  // coefficients from it when a parameter changes.
  session.configure(input.samplerate, options.blockSize);
  applySettings(session, options.settings);
  const bool doubles = processesDoubles(options, session, input.format);

  AudioWriter writer(output, outputInfo);
  RenderJob job{reader,
                writer,
                session,
                options.blockSize,
                fileChannels,
                outputChannels,
                PeakMeter(fileChannels)};
  session.resume();
  HostTransport transport(session.host().timeInfo(), options.transport, input.samplerate);
  const auto start = std::chrono::steady_clock::now();
  const std::int64_t frames =
      doubles ? renderBlocks<double>(job, transport) : renderBlocks<float>(job, transport);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  session.suspend();
  writer.close();
  if (preset) savePreset(session, *preset);
  output.commit();
  printSummary(job, input, outputInfo, frames, elapsed.count());
  warnAboutClipping(writer, outputInfo);
}
