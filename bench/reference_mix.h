// The downmixer's arithmetic written as plain loops over the host's six
// buffers, the yardsticks for the plugin's per-frame cost: inputs with
// non-finite values replaced by 0, the two mixed sums formed as the plugin
// forms them, the pass-through products, every output sanitised and, on the
// float path, written as the plugin writes floats. Both are checked against
// the mix reference before anything is timed (checkReferenceLoops).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "mix_reference.h"

// Frame by frame, as a host's buffers are usually walked.
template <typename Sample>
void referenceMix(const MixFactors& f, Sample** inputs, Sample** outputs, std::int32_t frames) {
  for (std::int32_t j = 0; j < frames; ++j) {
    double x[6];
    for (int i = 0; i < 6; ++i) x[i] = finiteOrZero(inputs[i][j]);
    const double left = ((x[0] * f.pairGain[0] * f.pairOn[0] + x[2] * f.pairGain[1] * f.pairOn[1]) +
                         x[4] * f.pairGain[2] * f.pairOn[2]) *
                        f.masterGain;
    const double right =
        ((x[1] * f.pairGain[0] * f.pairOn[0] + x[3] * f.pairGain[1] * f.pairOn[1]) +
         x[5] * f.pairGain[2] * f.pairOn[2]) *
        f.masterGain;
    outputs[0][j] = hostSample<Sample>(finiteOrZero(left));
    outputs[1][j] = hostSample<Sample>(finiteOrZero(right));
    for (int i = 2; i < 6; ++i) outputs[i][j] = hostSample<Sample>(finiteOrZero(x[i] * f.busPass));
  }
}

// The same arithmetic with every buffer and factor in a local that nothing
// else can reach, branch-free, so the compiler may vectorise across frames.
template <typename Sample>
void vectorisableReferenceMix(const MixFactors& f, Sample** inputs, Sample** outputs,
                              std::int32_t frames) {
  const Sample* __restrict in0 = inputs[0];
  const Sample* __restrict in1 = inputs[1];
  const Sample* __restrict in2 = inputs[2];
  const Sample* __restrict in3 = inputs[3];
  const Sample* __restrict in4 = inputs[4];
  const Sample* __restrict in5 = inputs[5];
  Sample* __restrict out0 = outputs[0];
  Sample* __restrict out1 = outputs[1];
  Sample* __restrict out2 = outputs[2];
  Sample* __restrict out3 = outputs[3];
  Sample* __restrict out4 = outputs[4];
  Sample* __restrict out5 = outputs[5];
  const double w0 = f.pairGain[0], o0 = f.pairOn[0], w1 = f.pairGain[1], o1 = f.pairOn[1];
  const double w2 = f.pairGain[2], o2 = f.pairOn[2], master = f.masterGain, bus = f.busPass;
  const auto clean = [](double v) {
    return std::fabs(v) <= std::numeric_limits<double>::max() ? v : 0.0;
  };
  for (std::int32_t j = 0; j < frames; ++j) {
    const double x0 = clean(in0[j]), x1 = clean(in1[j]), x2 = clean(in2[j]);
    const double x3 = clean(in3[j]), x4 = clean(in4[j]), x5 = clean(in5[j]);
    out0[j] = hostSample<Sample>(clean(((x0 * w0 * o0 + x2 * w1 * o1) + x4 * w2 * o2) * master));
    out1[j] = hostSample<Sample>(clean(((x1 * w0 * o0 + x3 * w1 * o1) + x5 * w2 * o2) * master));
    out2[j] = hostSample<Sample>(clean(x2 * bus));
    out3[j] = hostSample<Sample>(clean(x3 * bus));
    out4[j] = hostSample<Sample>(clean(x4 * bus));
    out5[j] = hostSample<Sample>(clean(x5 * bus));
  }
}
