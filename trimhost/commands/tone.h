// trimhost tone OUTPUT: a test file with a sine tone of its own on each
// channel, so that every channel can be told apart before and after a mix.
#pragma once

#include <string>

#include "trimhost/audio/output_format.h"
#include "trimhost/safety/output_file.h"

struct ToneOptions {
  std::string output;
  int channels = 6;
  double seconds = 2.0;
  int sampleRate = 48000;
  FormatRequest format;  // 32-bit float unless --format says otherwise
  ExistingOutput existingOutput = ExistingOutput::Refuse;
};

// Written block by block, so that any length takes little memory.
void runTone(const ToneOptions& options);
