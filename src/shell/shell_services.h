// The shell services: plain functions through which the runtime and the
// translated sections reach the shell and, through it, the host. Every service
// takes the shell handle first; with a null handle it does nothing and
// answers 0.
#pragma once

#include <cstdint>

#include "runtime/effect_callbacks.h"

struct AEffect;

AEffect* shellGetRecord(ShellHandle shell);
void* shellGetEffect(ShellHandle shell);
std::int32_t shellGetNumInputs(ShellHandle shell);
std::int32_t shellSetNumInputs(ShellHandle shell, std::int32_t count);
std::int32_t shellSetNumOutputs(ShellHandle shell, std::int32_t count);
std::int32_t shellSetUniqueId(ShellHandle shell, std::int32_t id);
std::int32_t shellSetProgramsAreChunks(ShellHandle shell, std::int32_t on);
double shellGetSampleRate(ShellHandle shell);
std::int32_t shellGetBlockSize(ShellHandle shell);

// Each time service asks the host afresh; without a time record from the host
// it answers 0.
double timeGetTempo(ShellHandle shell);
std::int32_t timeIsRecording(ShellHandle shell);
std::int32_t timeIsPlaying(ShellHandle shell);
double timeGetPpqPosition(ShellHandle shell);
// Writes each output whose pointer is not null; answers 1 when the host gave
// time information, else 0 with nothing written.
std::int32_t timeGetTempoAndSignature(ShellHandle shell, double* tempo, double* numerator,
                                      double* denominator);
