// The containers and sample formats outputs are written in, as libsndfile on
// this machine offers them. The container follows --container or else the
// output's extension; the sample format follows --format or else the
// input's, where the container can hold it.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>

#include "trimhost/safety/output_file.h"

struct FormatRequest {
  std::string container;     // a container's name as --container gives it; empty: by extension
  std::string sampleFormat;  // a --format name; empty: the input's
};

// The libsndfile format (container and sample format) to write `output` in.
// Throws ToolError: ExitStatus::Usage for a container or sample format that
// is not known here, listing those that are; ExitStatus::Failure when the
// container cannot hold the sample format, naming the --format choices it can.
int chooseOutputFormat(const SF_INFO& input, const std::string& output,
                       const FormatRequest& request);

// What to write `channels` channels at the source's rate in, for an output of
// about `frames` frames (-1 when unknown): chooseOutputFormat, then checked
// against the destination (checkStreamable) and the container's size limit
// (checkSizeLimit).
SF_INFO planOutput(const SF_INFO& source, int channels, std::int64_t frames,
                   const FormatRequest& request, OutputFile& output);

// True when the output's container can hold 32-bit float samples as well.
bool holdsFloat(const SF_INFO& output);

// Throws ToolError (ExitStatus::Usage) for a --format name that is not known.
void checkSampleFormatName(const std::string& name);
// The --format names, separated by commas.
std::string sampleFormatNames();

// The format libsndfile is asked to write: a WAV file is started as RF64 and
// becomes a plain WAV file when it stays small enough for one.
int writtenFormat(int format);

// Throws ToolError (ExitStatus::Failure) when the destination is no file one
// can seek in and the container needs seeking to finish its header, naming
// the containers that can be written there.
void checkStreamable(int format, const SF_INFO& output, const std::string& name, bool seekable);

// Throws ToolError (ExitStatus::Failure) before a render whose output would
// outgrow its container's 32-bit sizes, naming containers that hold more.
void checkSizeLimit(int format, std::int64_t frames, int channels, const std::string& name);

// Bits a sample of the format holds exactly: 24 for 32-bit float, 0 for
// formats that do not keep samples exactly (compressed ones).
int exactBits(int format);

// The bit depth of an integer sample format, 0 for any other.
int integerBits(int format);

// libsndfile's name of the sample format, such as "Signed 16 bit PCM".
std::string sampleFormatName(int format);
