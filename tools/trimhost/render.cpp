#include "render.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "channel_buffers.h"
#include "interruption.h"
#include "peak_meter.h"
#include "plugin_session.h"
#include "preset_commands.h"
#include "progress.h"
#include "temporary_file.h"
#include "tool_error.h"

namespace {

// What one render needs besides the options: the open files, the plugin, the
// channel counts on each side and the peaks measured on the way.
struct RenderJob {
  AudioReader& reader;
  AudioWriter& writer;
  PluginSession& session;
  std::int32_t blockSize;
  std::size_t fileChannels;
  std::size_t outputChannels;
  PeakMeter inputPeaks;
  PeakMeter outputPeaks;
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

// One block through the plugin: buffers of exactly the block's length, as a
// host hands them, with guards that catch writes past the end.
template <typename Sample>
void processBlock(RenderJob& job, const std::vector<Sample>& in, std::int32_t frames,
                  std::vector<Sample>& out) {
  ChannelBuffers<Sample> inputs(static_cast<std::size_t>(job.session.record().numInputs), frames,
                                0);
  ChannelBuffers<Sample> outputs(static_cast<std::size_t>(job.session.record().numOutputs), frames,
                                 0);
  deinterleave(in, job.fileChannels, inputs);
  job.session.plugin().process(inputs, outputs);
  if (!inputs.guardsIntact() || !outputs.guardsIntact()) {
    throw ToolError(ExitStatus::Plugin, "the plugin wrote past the end of the host's buffers");
  }
  interleave(outputs, job.outputChannels, out);
}

template <typename Sample>
std::int64_t renderBlocks(RenderJob& job, HostTransport& transport) {
  std::vector<Sample> in(static_cast<std::size_t>(job.blockSize) * job.fileChannels);
  std::vector<Sample> out(static_cast<std::size_t>(job.blockSize) * job.outputChannels);
  const InterruptionWatch interruption;
  Progress progress(job.reader.info().frames);
  std::int64_t done = 0;
  while (const auto frames = static_cast<std::int32_t>(job.reader.read(in.data(), job.blockSize))) {
    job.inputPeaks.measure(in.data(), static_cast<std::size_t>(frames));
    processBlock(job, in, frames, out);
    job.outputPeaks.measure(out.data(), static_cast<std::size_t>(frames));
    job.writer.write(out.data(), frames);
    transport.advance(frames);
    done += frames;
    progress.update(done);
    interruption.check();
  }
  return done;
}

SF_INFO outputInfo(const RenderOptions& options, const SF_INFO& input, std::size_t channels) {
  SF_INFO info{};
  info.samplerate = input.samplerate;
  info.channels = static_cast<int>(channels);
  info.format = outputFormat(input, options.output, options.format);
  return info;
}

void warnAboutClipping(const PeakMeter& peaks, int format) {
  if (!clipsAtFullScale(format)) return;
  for (std::size_t channel : peaks.channelsBeyondFullScale()) {
    std::fprintf(stderr,
                 "trimhost: warning: output channel %zu peaks at %s dBFS and was clipped"
                 " to full scale in %s; --format float32 keeps it\n",
                 channel, dbfs(peaks.peaks()[channel - 1]).c_str(),
                 sampleFormatName(format).c_str());
  }
}

void printSummary(const RenderJob& job, const SF_INFO& input, const SF_INFO& output,
                  std::int64_t frames, double seconds) {
  const double audioSeconds = static_cast<double>(frames) / input.samplerate;
  std::printf("in:  %zu channel(s), %d Hz, %s, peak dBFS %s\n", job.fileChannels, input.samplerate,
              sampleFormatName(input.format).c_str(), job.inputPeaks.dbfsList().c_str());
  std::printf(
      "out: %zu channel(s), %s, peak dBFS %s (%lld frames, %.3f s, rendered in %.3f s, "
      "%.1fx real time)\n",
      job.outputChannels, sampleFormatName(output.format).c_str(),
      job.outputPeaks.dbfsList().c_str(), static_cast<long long>(frames), audioSeconds, seconds,
      seconds > 0 ? audioSeconds / seconds : 0.0);
}

}  // namespace

void runRender(const RenderOptions& options) {
  AudioReader reader(options.input);
  const SF_INFO& input = reader.info();
  PluginSession session(options.plugin);
  const auto fileChannels = static_cast<std::size_t>(input.channels);
  checkChannels(options, session, fileChannels);
  checkProcessing(options, session);
  // Hosts set the sample rate before a plugin's state: plugins may derive
  // coefficients from it when a parameter changes.
  session.configure(input.samplerate, options.blockSize);
  applySettings(session, options.settings);
  const auto outputChannels =
      static_cast<std::size_t>(options.outputs > 0 ? options.outputs : session.record().numOutputs);
  const SF_INFO output = outputInfo(options, input, outputChannels);

  TemporaryFile file(options.output);
  AudioWriter writer(file.descriptor(), output);
  RenderJob job{reader,
                writer,
                session,
                options.blockSize,
                fileChannels,
                outputChannels,
                PeakMeter(fileChannels),
                PeakMeter(outputChannels)};
  session.resume();
  HostTransport transport(session.host().timeInfo(), options.transport, input.samplerate);
  const auto start = std::chrono::steady_clock::now();
  const std::int64_t frames = options.doublePrecision ? renderBlocks<double>(job, transport)
                                                      : renderBlocks<float>(job, transport);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  session.suspend();
  writer.close();
  if (!options.savePreset.empty()) savePreset(session, options.savePreset);
  file.commit();
  printSummary(job, input, output, frames, elapsed.count());
  warnAboutClipping(job.outputPeaks, output.format);
}
