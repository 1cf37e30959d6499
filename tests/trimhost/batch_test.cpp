// trimhost render over many files (--output-dir, --jobs, --fail-fast) and
// its machine-readable results (--json), through the built tool.
#include <signal.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "test_audio.h"
#include "trimhost_test.h"

namespace {

constexpr std::size_t kFrames = 2400;

// A byte of a file name that is not UTF-8 comes as the escape \udcXX, which
// nlohmann::json does not read: it is read as the private-use character
// U+F7XX instead, and nameBytes turns that back into the byte.
std::string readableEscapes(std::string line) {
  for (std::size_t at = 0; (at = line.find("\\udc", at)) != std::string::npos;)
    line.replace(at, 4, "\\uf7");
  return line;
}

std::string nameBytes(const nlohmann::json& name) {
  const std::string text = name.get<std::string>();
  std::string bytes;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const auto second = static_cast<unsigned char>(at + 2 < text.size() ? text[at + 1] : 0);
    if (static_cast<unsigned char>(text[at]) == 0xEF && (second & 0xFC) == 0x9C) {
      bytes += static_cast<char>(((second & 0x03) << 6) | (text[at + 2] & 0x3F));
      at += 2;
    } else {
      bytes += text[at];
    }
  }
  return bytes;
}

// Every line of standard output as a JSON object; a failed test when one is not.
std::vector<nlohmann::json> jsonLines(const std::string& out) {
  std::vector<nlohmann::json> objects;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    try {
      objects.push_back(nlohmann::json::parse(readableEscapes(line)));
    } catch (const nlohmann::json::exception& error) {
      ADD_FAILURE() << "not JSON: " << line << " (" << error.what() << ")";
    }
  }
  return objects;
}

const nlohmann::json* resultFor(const std::vector<nlohmann::json>& results,
                                const std::string& input) {
  for (const nlohmann::json& result : results)
    if (nameBytes(result["input"]) == input) return &result;
  return nullptr;
}

class BatchTest : public TrimhostTest {
 protected:
  // Stereo files that the crashing test plugin passes through, and one loud
  // one (a sample at 0.95) on which it crashes. The second one's name is not
  // UTF-8.
  std::vector<std::string> writeInputs(int count, int loud) {
    std::vector<std::string> inputs;
    for (int file = 0; file < count; ++file) {
      Audio audio = testSignal(2, kFrames);
      if (file == loud) audio.samples[100] = 0.95f;
      inputs.push_back(path("take" + std::to_string(file) + (file == 1 ? "\xFF" : "") + ".wav"));
      writeAudio(inputs.back(), audio);
    }
    return inputs;
  }

  ToolRun renderBatch(const std::vector<std::string>& inputs,
                      const std::vector<std::string>& options) {
    std::vector<std::string> arguments{"render",
                                       pathFromEnvironment("BROKEN_PLUGIN_CRASHING_LOUD")};
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    arguments.insert(arguments.end(), {"--output-dir", path("out"), "--json"});
    arguments.insert(arguments.end(), options.begin(), options.end());
    return run(arguments);
  }
};

// A crash on one file is that file's failure: the others are rendered, the
// batch ends with the crash's status, and no partial file is left.
TEST_F(BatchTest, ACrashCostsOnlyItsFile) {
  const std::vector<std::string> inputs = writeInputs(5, 2);
  const ToolRun result = renderBatch(inputs, {"--jobs", "2"});
  EXPECT_EQ(result.status, 6) << result.err;
  const std::vector<nlohmann::json> results = jsonLines(result.out);
  ASSERT_EQ(results.size(), inputs.size()) << result.out;
  for (std::size_t file = 0; file < inputs.size(); ++file) {
    SCOPED_TRACE(inputs[file]);
    const nlohmann::json* json = resultFor(results, inputs[file]);
    ASSERT_NE(json, nullptr);
    const std::string output =
        path("out/" + std::filesystem::path(inputs[file]).filename().string());
    EXPECT_EQ(nameBytes((*json)["output"]), output);
    if (file == 2) {
      EXPECT_EQ((*json)["status"], "crashed");
      EXPECT_EQ((*json)["exit_status"], 6);
      EXPECT_NE((*json)["message"].get<std::string>().find("crashed"), std::string::npos);
      EXPECT_FALSE(std::filesystem::exists(output));
    } else {
      EXPECT_EQ((*json)["status"], "ok");
      EXPECT_EQ((*json)["frames"], kFrames);
      EXPECT_EQ(readAudio(output).samples, readAudio(inputs[file]).samples);
    }
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("out")),
                          std::filesystem::directory_iterator()),
            4)
      << "only the four rendered files";
  EXPECT_NE(result.err.find("crashed: " + inputs[2]), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("4 of 5 files rendered"), std::string::npos) << result.err;
}

// The crash's status ends the batch whatever --jobs is; a render stopped
// with it did not fail of its own.
TEST_F(BatchTest, FailFastStopsAtTheFirstFailure) {
  const std::vector<std::string> inputs = writeInputs(4, 0);
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(std::string("--jobs ") + jobs);
    std::filesystem::remove_all(path("out"));
    const ToolRun result = renderBatch(inputs, {"--jobs", jobs, "--fail-fast"});
    EXPECT_EQ(result.status, 6) << result.err;
    const std::vector<nlohmann::json> results = jsonLines(result.out);
    ASSERT_EQ(results.size(), inputs.size());
    for (std::size_t file = 1; file < inputs.size(); ++file) {
      const nlohmann::json& json = *resultFor(results, inputs[file]);
      if (json["status"] == "ok") continue;  // done before the crash
      EXPECT_EQ(json["status"], "not rendered");
      EXPECT_EQ(json["message"], "stopped after " + inputs[0] + " failed");
      EXPECT_FALSE(std::filesystem::exists(nameBytes(json["output"])));
    }
  }
}

// A render child killed with SIGKILL cannot clean up after itself: the batch
// removes the temporary file it announced, and names the signal. A batch
// interrupted itself stops its renders and still reports every file, the
// one not started too. Renders past --timeout are stopped, each its own
// failure.
TEST_F(BatchTest, KilledRendersAndInterruptedBatchesLeaveNoFileAndAreReported) {
  const std::vector<std::string> inputs = writeInputs(2, -1);
  struct Case {
    bool toTheBatch;  // else to its render
    int signal;       // 0 for none: --timeout stops the renders
    int status;
    std::string status0;  // the files' JSON statuses
    std::string status1;
    std::string line;
  };
  for (const Case& c :
       {Case{false, SIGKILL, 130, "killed", "not rendered",
             "killed: " + inputs[0] + ": killed by signal 9 (SIGKILL); unfinished output removed"},
        Case{true, SIGINT, 130, "not rendered", "not rendered",
             "not rendered: " + inputs[1] + ": the batch was interrupted (SIGINT)"},
        Case{false, 0, 7, "timed out", "timed out",
             "timed out: " + inputs[1] + ": went past --timeout 0.5 s and was stopped"}}) {
    SCOPED_TRACE(c.signal);
    const pid_t tool = start({"render", pathFromEnvironment("BROKEN_PLUGIN_HANGING"), inputs[0],
                              inputs[1], "--output-dir", path("out"), "--json", "--jobs", "1",
                              "--timeout", c.signal != 0 ? "600" : "0.5"});
    if (c.signal != 0) {
      const bool writing = awaitTemporaryOf("take0.wav", "out");
      std::ifstream children("/proc/" + std::to_string(tool) + "/task/" + std::to_string(tool) +
                             "/children");
      pid_t child = 0;
      ASSERT_TRUE(writing && children >> child) << "no render child writing its output";
      ::kill(c.toTheBatch ? tool : child, c.signal);
      if (!c.toTheBatch) ::kill(tool, SIGINT);  // the second file hangs as well
    }
    const ToolRun result = finish(tool);
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.err.find(c.line), std::string::npos) << result.err;
    const std::vector<nlohmann::json> results = jsonLines(result.out);
    ASSERT_EQ(results.size(), 2U);
    EXPECT_EQ(results[0]["status"], c.status0);
    EXPECT_EQ(results[1]["status"], c.status1);
    EXPECT_TRUE(std::filesystem::is_empty(path("out")));
  }
}

// The object of one render: what the files hold, the settings, the time.
TEST_F(BatchTest, JsonDescribesTheRender) {
  Audio input = testSignal(6, kFrames);
  input.samples[6 * 10] = 2.0f;               // channel 1 beyond full scale: clipped in pcm16
  const std::string in = path("in\xFF.wav");  // no UTF-8
  writeAudio(in, input);
  const ToolRun result = run({"render", trimixer(), in, path("out.wav"), "--json", "--format",
                              "pcm16", "--set", "mute stereo 2=mute"});
  EXPECT_EQ(result.status, 0) << result.err;
  const std::vector<nlohmann::json> results = jsonLines(result.out);
  ASSERT_EQ(results.size(), 1U) << result.out;
  const nlohmann::json& json = results[0];
  EXPECT_EQ(json["status"], "ok");
  EXPECT_EQ(nameBytes(json["input"]), in);
  EXPECT_EQ(json["output"], path("out.wav"));
  EXPECT_EQ(json["frames"], kFrames);
  EXPECT_EQ(json["sample_rate"], 48000);
  EXPECT_EQ(json["channels_in"], 6);
  EXPECT_EQ(json["channels_out"], 6);
  EXPECT_EQ(json["peak_dbfs_in"][0], 6.02);
  EXPECT_EQ(json["peak_dbfs_out"][0], 0.0) << "pcm16 holds full scale at most";
  EXPECT_TRUE(json["peak_dbfs_out"][2].is_null()) << "a silent bus";
  EXPECT_GT(json["clipped_samples"][0].get<int>(), 0);
  EXPECT_EQ(json["clipped_samples"][1], 0);
  EXPECT_EQ(json["settings"][4]["name"], "mute stereo 2");
  EXPECT_EQ(json["settings"][4]["display"], "mute");
  EXPECT_GT(json["seconds"].get<double>(), 0.0);
  EXPECT_GT(json["realtime_factor"].get<double>(), 0.0);
  EXPECT_NE(result.err.find("processing:"), std::string::npos) << "human lines on stderr";

  // Infinite samples make an infinite peak, not silence; NaN ones are counted.
  Audio odd = testSignal(2, 4);
  odd.samples = {-INFINITY, NAN, 0.5f, NAN, 0.0f, 0.25f, 0.0f, 0.0f};
  writeAudio(path("odd.wav"), odd);
  const ToolRun nonFinite =
      run({"render", trimixer(), path("odd.wav"), path("odd-out.wav"), "--json", "--outputs", "2"});
  ASSERT_EQ(nonFinite.status, 0) << nonFinite.err;
  const nlohmann::json oddJson = jsonLines(nonFinite.out).at(0);
  EXPECT_EQ(oddJson["peak_dbfs_in"], nlohmann::json::parse(R"(["inf", -12.04])"));
  EXPECT_EQ(oddJson["nan_samples_in"], nlohmann::json::parse("[0, 2]"));
  EXPECT_NE(nonFinite.err.find("peak dBFS +inf -12.04; NaN samples in channel 2: 2\n"),
            std::string::npos)
      << nonFinite.err;

  // A plugin found nowhere still gives every input its object.
  const ToolRun unknown = run(
      {"render", "no-such-plugin", in, path("odd.wav"), "--output-dir", path("none"), "--json"});
  EXPECT_EQ(unknown.status, 3);
  const std::vector<nlohmann::json> failed = jsonLines(unknown.out);
  ASSERT_EQ(failed.size(), 2U) << unknown.out;
  EXPECT_EQ(failed[1]["input"], path("odd.wav"));
  EXPECT_EQ(failed[1]["exit_status"], 3);
}

TEST_F(BatchTest, OutputsAreNamedAfterTheirInputs) {
  writeAudio(path("a.wav"), testSignal(2, kFrames));
  writeAudio(path("b.aiff"), testSignal(2, kFrames));
  struct Case {
    std::vector<std::string> options;
    std::vector<std::string> outputs;
  };
  const Case cases[] = {{{}, {"a.wav", "b.aiff"}},
                        {{"--container", "flac", "--format", "pcm24"}, {"a.flac", "b.flac"}},
                        {{"--format", "vorbis"}, {"a.ogg", "b.ogg"}}};
  for (const Case& c : cases) {
    std::filesystem::remove_all(path("out"));
    std::vector<std::string> arguments{"render",       trimixer(),     path("a.wav"),
                                       path("b.aiff"), "--output-dir", path("out")};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ToolRun result = run(arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    for (const std::string& output : c.outputs)
      EXPECT_TRUE(std::filesystem::exists(path("out/" + output))) << output;
  }
}

// With --merge, --group N merges every N inputs into one output, named
// after the group's first; each object lists the group's inputs.
TEST_F(BatchTest, GroupsOfInputsAreMergedIntoAnOutputEach) {
  std::vector<std::string> inputs;
  for (const char* name : {"song1-drums", "song1-bass", "song2-drums", "song2-bass"}) {
    inputs.push_back(path(std::string(name) + ".wav"));
    writeAudio(inputs.back(), testSignal(2, inputs.size() == 4 ? kFrames / 2 : kFrames));
  }
  std::vector<std::string> arguments{"render", trimixer()};
  arguments.insert(arguments.end(), inputs.begin(), inputs.end());
  arguments.insert(arguments.end(),
                   {"--merge", "--group", "2", "--output-dir", path("out"), "--json"});
  const ToolRun result = run(arguments);
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<nlohmann::json> results = jsonLines(result.out);
  ASSERT_EQ(results.size(), 2U) << result.out;
  for (std::size_t group = 0; group < 2; ++group) {
    SCOPED_TRACE(group);
    const nlohmann::json* json = resultFor(results, inputs[2 * group]);
    ASSERT_NE(json, nullptr);
    EXPECT_EQ((*json)["inputs"], nlohmann::json({inputs[2 * group], inputs[2 * group + 1]}));
    EXPECT_EQ((*json)["output"], path("out/song" + std::to_string(group + 1) + "-drums.wav"));
    EXPECT_EQ((*json)["channels_in"], 4);
    EXPECT_EQ((*json)["padded_frames"], nlohmann::json({0, group == 1 ? kFrames / 2 : 0}));
  }
  EXPECT_NE(result.err.find("2 of 2 groups rendered"), std::string::npos) << result.err;
}

// Another maker's plugin, by name, in a batch: every file rendered with
// the settings, each with its own instance.
TEST_F(BatchTest, AThirdPartyPluginByName) {
  SKIP_WITHOUT_THIRD_PARTY_PLUGIN();
  const std::vector<std::string> inputs = writeInputs(3, -1);
  std::vector<std::string> arguments{"render", "3bandeq-vst"};
  arguments.insert(arguments.end(), inputs.begin(), inputs.end());
  arguments.insert(arguments.end(), {"--output-dir", path("out"), "--jobs", "2", "--json",
                                     "--set-normalised", "0=0"});
  const ToolRun result = run(arguments);
  EXPECT_EQ(result.status, 0) << result.err;
  const std::vector<nlohmann::json> results = jsonLines(result.out);
  ASSERT_EQ(results.size(), inputs.size());
  for (const nlohmann::json& json : results) {
    EXPECT_EQ(json["status"], "ok");
    EXPECT_EQ(json["settings"][0]["normalised"], 0.0);
    EXPECT_TRUE(std::filesystem::exists(nameBytes(json["output"])));
  }
}

TEST_F(BatchTest, CommandLinesThatCannotWork) {
  writeAudio(path("a.wav"), testSignal(2, kFrames));
  std::filesystem::create_directory(path("other"));
  writeAudio(path("other/a.wav"), testSignal(2, kFrames));
  const std::vector<std::vector<std::string>> cases = {
      {path("a.wav"), path("x.wav"), path("y.wav")},
      {path("a.wav"), path("x.wav"), "--jobs", "2"},
      {path("a.wav"), "-", "--json"},
      {path("a.wav"), path("other/a.wav"), "--output-dir", path("out")},
  };
  for (const std::vector<std::string>& files : cases) {
    std::vector<std::string> arguments{"render", trimixer()};
    arguments.insert(arguments.end(), files.begin(), files.end());
    const ToolRun result = run(arguments);
    EXPECT_EQ(result.status, 2) << files.back() << ": " << result.err;
  }
  EXPECT_FALSE(std::filesystem::exists(path("out/a.wav")));
}

}  // namespace
