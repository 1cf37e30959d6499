// The shell services: plain functions through which the runtime and the
// translated sections reach the shell and, through it, the host; the other
// direction of the seam to the effect-callback table. Every service takes the
// shell handle first; with a null handle it does nothing and answers 0. None
// allocates, locks or throws, so the processing callbacks may call any of
// them; each runs on the thread of the callback that calls it.
#pragma once

#include <cstdint>

#include "seam/effect_callbacks.h"

struct AEffect;

// The host interface record embedded in the shell; it lives as long as the
// shell. Called by the entry point to hand the record to the host.
AEffect* shellGetRecord(ShellHandle shell);
// The effect object the shell was created with, still owned by the runtime
// (onDestroy frees it). Called by every callback.
void* shellGetEffect(ShellHandle shell);
// The record's input count. Called by the processing callbacks, once per
// process for the channel count they cache.
std::int32_t shellGetNumInputs(ShellHandle shell);
// The record's pin counts, unique id and programs-are-chunks flag; called by
// onCreate. Each answers 1 (0 for a null handle).
std::int32_t shellSetNumInputs(ShellHandle shell, std::int32_t count);
std::int32_t shellSetNumOutputs(ShellHandle shell, std::int32_t count);
std::int32_t shellSetUniqueId(ShellHandle shell, std::int32_t id);
std::int32_t shellSetProgramsAreChunks(ShellHandle shell, std::int32_t on);
// What the host last set with effSetSampleRate and effSetBlockSize. Called
// by the initialisation section's preamble.
double shellGetSampleRate(ShellHandle shell);
std::int32_t shellGetBlockSize(ShellHandle shell);

// The host's time information, for the sections' preambles. Each time
// service asks the host afresh (audioMasterGetTime with the fields it needs);
// without a time record from the host it answers 0. The host's record stays
// the host's.
double timeGetTempo(ShellHandle shell);
std::int32_t timeIsRecording(ShellHandle shell);
std::int32_t timeIsPlaying(ShellHandle shell);
double timeGetPpqPosition(ShellHandle shell);
// Writes each output whose pointer is not null; answers 1 when the host gave
// time information, else 0 with nothing written.
std::int32_t timeGetTempoAndSignature(ShellHandle shell, double* tempo, double* numerator,
                                      double* denominator);
