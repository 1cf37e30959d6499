#include "property.h"

#include <cstdio>

void propertyBroken(const char* what) {
  std::fprintf(stderr, "==== property broken: %s\n", what);
  __builtin_trap();
}
