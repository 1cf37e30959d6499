// The vectorised reference loop. This unit alone is compiled with -O3 for the
// instruction set of the path it is timed against, and the build prints the
// compiler's report of the loops it vectorised here (bench/CMakeLists.txt).
#include <limits>

#include "reference_mix.h"

namespace {

// Buffers as restrict parameters: GCC relies on restrict only there, and
// otherwise has to check every pair of the twelve buffers for overlap at run
// time, which it gives up on.
template <typename Sample>
void mixFrames(const MixFactors& f, const Sample* __restrict in0, const Sample* __restrict in1,
               const Sample* __restrict in2, const Sample* __restrict in3,
               const Sample* __restrict in4, const Sample* __restrict in5, Sample* __restrict out0,
               Sample* __restrict out1, Sample* __restrict out2, Sample* __restrict out3,
               Sample* __restrict out4, Sample* __restrict out5, std::int32_t frames) {
  const double w0 = f.pairGain[0], o0 = f.pairOn[0], w1 = f.pairGain[1], o1 = f.pairOn[1];
  const double w2 = f.pairGain[2], o2 = f.pairOn[2], master = f.masterGain, bus = f.busPass;
  // The builtin, as mingw's 32-bit fabs is x87 assembly that no loop vectorises.
  const auto clean = [](double v) {
    return __builtin_fabs(v) <= std::numeric_limits<double>::max() ? v : 0.0;
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

template <typename Sample>
void mixBlock(const MixFactors& f, Sample** inputs, Sample** outputs, std::int32_t frames) {
  mixFrames<Sample>(f, inputs[0], inputs[1], inputs[2], inputs[3], inputs[4], inputs[5], outputs[0],
                    outputs[1], outputs[2], outputs[3], outputs[4], outputs[5], frames);
}

}  // namespace

void vectorisedReferenceMix(const MixFactors& f, float** inputs, float** outputs,
                            std::int32_t frames) {
  mixBlock(f, inputs, outputs, frames);
}

void vectorisedReferenceMix(const MixFactors& f, double** inputs, double** outputs,
                            std::int32_t frames) {
  mixBlock(f, inputs, outputs, frames);
}
