// Loads the module named on the command line, has it throw and catch, and
// unloads it; twice, so that a second load finds the first one's runtime gone.
#include <dlfcn.h>

#include <cstdio>

namespace {

constexpr int kDepth = 8;

// The depth the module's catch saw, or -1 when it could not be loaded.
int unwindOnce(const char* path) {
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return -1;
  }
  auto* framesUnwound = reinterpret_cast<int (*)(int)>(dlsym(module, "framesUnwound"));
  const int unwound = framesUnwound != nullptr ? framesUnwound(kDepth) : -1;
  dlclose(module);
  return unwound;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s MODULE\n", argv[0]);
    return 2;
  }
  for (int load = 1; load <= 2; ++load) {
    const int unwound = unwindOnce(argv[1]);
    if (unwound != kDepth) {
      std::fprintf(stderr, "load %d: caught at depth %d, expected %d\n", load, unwound, kDepth);
      return 1;
    }
  }
  std::puts("an exception thrown inside the module was caught there, on two loads");
  return 0;
}
