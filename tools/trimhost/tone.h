// trimhost tone OUTPUT: a test file with a sine tone of its own on each
// channel, so that every channel can be told apart before and after a mix.
#pragma once

#include <string>

struct ToneOptions {
  std::string output;
  int channels = 6;
  double seconds = 2.0;
  int sampleRate = 48000;
};

void runTone(const ToneOptions& options);
