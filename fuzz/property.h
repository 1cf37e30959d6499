// How every fuzz target stops on a broken property: it names the property and
// traps, so that libFuzzer keeps the input.
#pragma once

[[noreturn]] void propertyBroken(const char* what);

inline void require(bool holds, const char* what) {
  if (!holds) propertyBroken(what);
}
