// The folders plugins are looked for in, the libraries found there, and the
// arguments findPlugin takes as paths, on files that need no loading.
#include "trimhost/plugin/plugin_folders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "expect_tool_error.h"
#include "trimhost/plugin/plugin_lookup.h"

namespace {

namespace fs = std::filesystem;

// A scratch folder, and HOME, VST_PATH and the working folder as each test sets them.
class PluginFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "plugin-folders-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratch_ = pattern;
    workingFolder_ = fs::current_path();
    for (const char* name : {"HOME", "VST_PATH"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
    setenv("HOME", (scratch_ / "home").c_str(), 1);
    unsetenv("VST_PATH");
  }

  void TearDown() override {
    fs::current_path(workingFolder_);
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    fs::remove_all(scratch_);
  }

  std::string path(const std::string& name) const { return (scratch_ / name).string(); }

  void file(const std::string& name) const {
    fs::create_directories(fs::path(path(name)).parent_path());
    std::ofstream(path(name)) << "not really a library\n";
  }

  void link(const std::string& name, const std::string& target) const {
    fs::create_directories(fs::path(path(name)).parent_path());
    fs::create_symlink(target, path(name));
  }

 private:
  fs::path scratch_;
  fs::path workingFolder_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(PluginFoldersTest, VstPathComesFirstThenTheUsualFolders) {
  const std::string home = path("home") + "/.vst";
  const struct {
    const char* vstPath;  // null: unset
    std::vector<std::string> folders;
  } cases[] = {
      {nullptr, {home, "/usr/local/lib/vst", "/usr/lib/vst"}},
      {"", {home, "/usr/local/lib/vst", "/usr/lib/vst"}},
      {"/a::b:", {"/a", "b", home, "/usr/local/lib/vst", "/usr/lib/vst"}},
  };
  for (const auto& c : cases) {
    if (c.vstPath)
      setenv("VST_PATH", c.vstPath, 1);
    else
      unsetenv("VST_PATH");
    EXPECT_EQ(pluginSearchFolders(), c.folders) << (c.vstPath ? c.vstPath : "unset");
  }
}

TEST_F(PluginFoldersTest, LibrariesAreFoundRecursivelyByNameAndEachFolderWalkedOnce) {
  file("one/b.so");
  file("one/sub/A.SO");
  file("one/notes.txt");
  file("one/libthing.so.1");
  link("one/c.so", path("one/b.so"));
  link("one/loop", path("one"));
  link("one/gone.so", path("nowhere.so"));
  link("one/self.so", path("one/self.so"));  // there, but unreadable even for root
  file("two/d.so");
  const LibraryScan scan =
      findPluginLibraries({path("one"), path("missing"), path("two"), path("one/sub")});
  const std::vector<FoundLibrary>& found = scan.libraries;
  std::vector<std::string> paths;
  for (const FoundLibrary& library : found) paths.push_back(library.path);
  EXPECT_EQ(paths, (std::vector<std::string>{path("one/b.so"), path("one/c.so"),
                                             path("one/sub/A.SO"), path("two/d.so")}));
  ASSERT_EQ(found.size(), 4u);
  EXPECT_EQ(found[1].canonical, found[0].canonical);
  EXPECT_EQ(found[3].folder, 2u);
  const std::vector<FoundLibrary> first = firstOfEachLibrary(found);
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(first[1].path, path("one/sub/A.SO"));
  ASSERT_EQ(scan.unreadable.size(), 1u);  // missing folders and dangling links are not
  EXPECT_EQ(unreadableText(scan.unreadable[0]),
            "cannot read " + path("one/self.so") + ": Too many levels of symbolic links");
}

TEST_F(PluginFoldersTest, PathsAreTakenAsTheyAreAndNamesAreLookedUp) {
  file("work/here.so");
  fs::create_directories(path("work/plain"));
  file("vst/plain.so");
  setenv("VST_PATH", path("vst").c_str(), 1);
  fs::current_path(path("work"));
  EXPECT_EQ(findPlugin("here.so"), "here.so");  // an existing file
  EXPECT_EQ(findPlugin("./gone.so"), "./gone.so");
  EXPECT_EQ(findPlugin("plain"), path("vst/plain.so"));  // a folder here is no plugin
  expectToolError([] { findPlugin(""); }, ExitStatus::Usage, "empty");
}

}  // namespace
