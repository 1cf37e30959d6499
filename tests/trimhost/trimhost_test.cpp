#include "trimhost_test.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::string contentsOf(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int exitStatusOf(int waitStatus) {
  return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

}  // namespace

std::string pathFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    ADD_FAILURE() << name << " is not set: the test command passes it";
    return "/nonexistent";
  }
  return value;
}

bool TrimhostTest::thirdPartyMissing() {
  const char* value = std::getenv("THIRD_PARTY_PLUGIN");
  return value != nullptr && *value == '\0';
}

void TrimhostTest::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "trimhost-test-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  scratch_ = pattern;
}

void TrimhostTest::TearDown() { std::filesystem::remove_all(scratch_); }

std::vector<std::string> TrimhostTest::files() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(scratch_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool TrimhostTest::awaitTemporaryOf(const std::string& output, const std::string& folder) const {
  const std::string prefix = "." + output + ".";
  const auto there = [&] {
    std::error_code none;
    for (const auto& entry : std::filesystem::directory_iterator(scratch_ / folder, none))
      if (entry.path().filename().string().rfind(prefix, 0) == 0) return true;
    return false;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!there() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return there();
}

// The tool's output goes to files beside the scratch directory, so that
// neither stream can block the other.
ToolRun TrimhostTest::run(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& launcher) const {
  return finish(start(arguments, launcher));
}

pid_t TrimhostTest::start(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& launcher) const {
  const std::string tool = pathFromEnvironment("TRIMHOST");
  const std::filesystem::path out = scratch_.string() + ".out";
  const std::filesystem::path err = scratch_.string() + ".err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> argv;
  for (const std::string& word : launcher) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(const_cast<char*>(tool.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = -1;
  const int spawned = posix_spawnp(&child, argv.front(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) ADD_FAILURE() << "cannot run " << argv.front();
  return spawned == 0 ? child : -1;
}

ToolRun TrimhostTest::finish(pid_t tool) const {
  if (tool < 0) return {-1, "", ""};
  int waitStatus = 0;
  waitpid(tool, &waitStatus, 0);
  const std::filesystem::path out = scratch_.string() + ".out";
  const std::filesystem::path err = scratch_.string() + ".err";
  ToolRun result{exitStatusOf(waitStatus), contentsOf(out), contentsOf(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return result;
}
