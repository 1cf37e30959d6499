// The downmixer's groups of four frames on AVX2. This unit alone is compiled
// with -mavx2 (and -mno-fma: no contraction of products and sums); it defines
// nothing but the function below, whose name no baseline unit defines, so no
// AVX2 code can replace a baseline copy when the plugin is linked.
#include "effect/downmix_groups.h"
#include "runtime/lanes_avx2.h"

DownmixGroupForms downmixGroupFormsAvx2() { return downmixGroupFormsOf<Avx2Lanes>(); }
