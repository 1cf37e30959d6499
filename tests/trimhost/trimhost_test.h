// What every trimhost test needs: the built tool run as a separate process,
// the plugins' paths, and a scratch directory of its own.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

struct ToolRun {
  int status;  // the exit status, or 128 + the signal that ended the tool
  std::string out;
  std::string err;
};

// A path the test command passes in the environment; fails the test when unset.
std::string pathFromEnvironment(const char* name);

class TrimhostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string path(const std::string& name) const { return (scratch_ / name).string(); }
  // The names of the files in the scratch directory, sorted.
  std::vector<std::string> files() const;
  // Waits (20 s at most) until the tool's temporary file for OUTPUT exists in
  // the scratch subfolder FOLDER ("" for the scratch directory itself), so
  // that a signal finds something to remove. Answers whether it came.
  bool awaitTemporaryOf(const std::string& output, const std::string& folder = "") const;

  // A launcher, such as setpriv and its options, runs the tool when given.
  ToolRun run(const std::vector<std::string>& arguments,
              const std::vector<std::string>& launcher = {}) const;
  // The tool started without waiting for it, and then waited for.
  pid_t start(const std::vector<std::string>& arguments,
              const std::vector<std::string>& launcher = {}) const;
  ToolRun finish(pid_t tool) const;

  static std::string trimixer() { return pathFromEnvironment("TRIMIXER_PLUGIN"); }
  // A test that uses this starts with SKIP_WITHOUT_THIRD_PARTY_PLUGIN().
  static std::string thirdParty() { return pathFromEnvironment("THIRD_PARTY_PLUGIN"); }
  // The test command passes an empty path when configuration found no such plugin.
  static bool thirdPartyMissing();

 private:
  std::filesystem::path scratch_;
};

// A macro because a skip ends only the function it is written in: inside
// thirdParty() it would let the test go on with no plugin.
#define SKIP_WITHOUT_THIRD_PARTY_PLUGIN() \
  if (thirdPartyMissing())                \
  GTEST_SKIP() << "no third-party plugin: install dpf-plugins-vst, then configure again"
