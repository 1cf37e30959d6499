// One pass of a group form or of the loop GCC vectorised, over one block at
// default settings, for tools/count-lane-instructions.sh to count the
// instructions of under qemu-user. Built by that script alone, for aarch64.
//   lane_count FORM SAMPLE FRAMES     FORM: neon, portable or vectorised; SAMPLE: float or double
#include <cstdlib>
#include <cstring>
#include <vector>

#include "effect/downmix_groups.h"
#include "reference_mix.h"

namespace {

// The factors of MixFactors' defaults, the plugin's at default settings.
DownmixFactors defaultFactors() {
  const MixFactors mix;
  DownmixFactors f;
  f.pairGain1 = mix.pairGain[0];
  f.pairGain2 = mix.pairGain[1];
  f.pairGain3 = mix.pairGain[2];
  f.pairOn1 = mix.pairOn[0];
  f.pairOn2 = mix.pairOn[1];
  f.pairOn3 = mix.pairOn[2];
  f.masterGain = mix.masterGain;
  f.busPass = mix.busPass;
  return f;
}

// Default settings are routine and bounded: these are the forms they run.
DownmixGroups<float> groups(const DownmixGroupForms& forms, float*) { return forms.routineFloat; }
DownmixGroups<double> groups(const DownmixGroupForms& forms, double*) {
  return forms.routineDouble;
}

template <typename Sample>
int run(const char* form, std::int32_t frames) {
  std::vector<std::vector<Sample>> buffers(12, std::vector<Sample>(frames, Sample{0.25}));
  Sample* in[6];
  Sample* out[6];
  for (int c = 0; c < 6; ++c) {
    in[c] = buffers[c].data();
    out[c] = buffers[c + 6].data();
  }
  if (std::strcmp(form, "vectorised") == 0) {
    vectorisedReferenceMix(MixFactors{}, in, out, frames);
    return 0;
  }
  const bool neon = std::strcmp(form, "neon") == 0;
  const DownmixGroupForms forms = neon ? downmixGroupFormsNeon() : downmixGroupFormsPortable();
  DownmixInputs lastInputs;
  double lastOutputs[6];
  groups(forms, in[0])(defaultFactors(), in, out, frames, lastInputs, lastOutputs);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const auto frames = static_cast<std::int32_t>(std::atoi(argv[3]));
  return std::strcmp(argv[2], "float") == 0 ? run<float>(argv[1], frames)
                                            : run<double>(argv[1], frames);
}
