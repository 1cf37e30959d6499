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

  ToolRun run(const std::vector<std::string>& arguments) const;
  // The tool started without waiting for it, and then waited for.
  pid_t start(const std::vector<std::string>& arguments) const;
  ToolRun finish(pid_t tool) const;

  static std::string trimixer() { return pathFromEnvironment("TRIMIXER_PLUGIN"); }
  static std::string thirdParty() { return pathFromEnvironment("THIRD_PARTY_PLUGIN"); }

 private:
  std::filesystem::path scratch_;
};
