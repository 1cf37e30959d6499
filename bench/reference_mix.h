// The downmixer's arithmetic written as plain loops over the host's six
// buffers, the yardsticks for the plugin's per-frame cost: inputs with
// non-finite values replaced by 0, the two mixed sums formed as the plugin
// forms them, the pass-through products, every output sanitised and, on the
// float path, written as the plugin writes floats. Both are checked against
// the mix reference before anything is timed (checkReferenceLoops).
#pragma once

#include <cstdint>

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

// The same arithmetic written so that the compiler vectorises it across
// frames, compiled in a unit of its own (vectorised_reference.cpp) with -O3
// for the vector instruction set of the path it is set beside: SSE4.2
// natively, SSE2 in the 32-bit DLL's build (bench/CMakeLists.txt).
void vectorisedReferenceMix(const MixFactors& f, float** inputs, float** outputs,
                            std::int32_t frames);
void vectorisedReferenceMix(const MixFactors& f, double** inputs, double** outputs,
                            std::int32_t frames);
