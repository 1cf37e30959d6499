// What trimhost says about a render for scripts: one JSON object per file,
// on a standard output that carries nothing else.
#pragma once

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "trimhost/commands/render.h"

// Output frames per second of rendering time, 0 when no time was measured.
double realTimeFactor(const RenderResult& result);

// A finished render: input, output, "ok", frames, sample rate, channels,
// peaks in dBFS (null for silence), clipped samples, settings, seconds and
// real-time factor; for merged inputs also every input and its padding.
nlohmann::ordered_json resultJson(const RenderResult& result);

// The object with "inputs" listing `merged` after its "input", when inputs
// were merged; else the object as it is.
nlohmann::ordered_json withMergedInputs(const nlohmann::ordered_json& object,
                                        const std::vector<std::string>& merged);

// "b.wav (480 frames), c.wav (1 frame)": the inputs padded with silence and
// by how much, "" when none was.
std::string paddingList(const std::vector<std::string>& inputs,
                        const std::vector<std::int64_t>& paddedFrames);

// A render that did not finish: its files, status (the exit status it ended
// with) and why.
nlohmann::ordered_json failureJson(const std::string& input, const std::string& output,
                                   int exitStatus, const std::string& message);

// For as long as it lives, standard output carries only what print() writes:
// everything else written there, by the tool or by a plugin, goes to
// standard error.
class JsonOutput {
 public:
  JsonOutput();
  ~JsonOutput();

  JsonOutput(const JsonOutput&) = delete;
  JsonOutput& operator=(const JsonOutput&) = delete;

  // One object on a line of its own.
  void print(const nlohmann::ordered_json& object) const;

 private:
  int savedStdout_;
  std::FILE* json_;
};
