// Plugins by name and trimhost list, on plugin folders the tests make of
// links to (and copies of) our plugin, the third-party one and the broken
// libraries. HOME and XDG_CACHE_HOME point into the scratch directory, so
// that the user's ~/.vst and plugin cache take no part, and each test starts
// without a cache; /usr/local/lib/vst and /usr/lib/vst are searched as they
// are, after the test's folders.
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "downmixer_view.h"
#include "trimhost_test.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string trimixerEffectName() { return cutToLimit(kIdentity.effectName, kEffectNameLimit); }

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

class PluginNamesTest : public TrimhostTest {
 protected:
  void SetUp() override {
    TrimhostTest::SetUp();
    for (const char* name : {"HOME", "VST_PATH", "XDG_CACHE_HOME", "BROKEN_PLUGIN_PID_FILE",
                             "BROKEN_PLUGIN_LOAD_LOG"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
    setenv("HOME", path("home").c_str(), 1);
    setenv("XDG_CACHE_HOME", path("cache").c_str(), 1);
    unsetenv("VST_PATH");
  }

  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    TrimhostTest::TearDown();
  }

  // A link in the scratch directory, such as "vst1/eq/3BandEQ-vst.so".
  void link(const std::string& name, const std::string& target) const {
    fs::create_directories(fs::path(path(name)).parent_path());
    fs::create_symlink(target, path(name));
  }

  void copy(const std::string& name, const std::string& source) const {
    fs::create_directories(fs::path(path(name)).parent_path());
    fs::copy_file(source, path(name));
  }

  // VST_PATH of scratch folders, such as "vst2:vst1".
  void searchPath(const std::string& folders) const {
    std::string value;
    std::istringstream names(folders);
    for (std::string name; std::getline(names, name, ':');)
      value += (value.empty() ? "" : ":") + path(name);
    setenv("VST_PATH", value.c_str(), 1);
  }

  // Two folders: the second holds another library under the name
  // "trimixer.so" and two copies of the third-party plugin.
  void makeSearchFolders() const {
    link("vst1/Trimixer-Again.so", trimixer());
    link("vst1/trimixer.so", trimixer());
    link("vst1/twin.so", trimixer());
    link("vst1/eq/3BandEQ-vst.so", thirdParty());
    link("vst1/sub/TWIN.so", thirdParty());
    link("vst1/broken/crash.so", pathFromEnvironment("BROKEN_PLUGIN_CRASHING_AT_START"));
    link("vst1/broken/no-entry.so", pathFromEnvironment("BROKEN_PLUGIN_NO_ENTRY"));
    link("vst1/broken/wrong-magic.so", pathFromEnvironment("BROKEN_PLUGIN_WRONG_MAGIC"));
    std::ofstream(path("vst1/notes.txt")) << "not a library\n";
    link("vst2/trimixer.so", thirdParty());
    copy("vst2/a/eq-copy.so", thirdParty());
    copy("vst2/b/eq-copy.so", thirdParty());
  }

  // One library of each kind, and the third-party one a second time.
  void makeListFolder() const {
    link("list/3BandEQ-vst.so", thirdParty());
    link("list/again/eq.so", thirdParty());
    link("list/crash-at-start.so", pathFromEnvironment("BROKEN_PLUGIN_CRASHING_AT_START"));
    link("list/crashing.so", pathFromEnvironment("BROKEN_PLUGIN_CRASHING"));
    link("list/hanging.so", pathFromEnvironment("BROKEN_PLUGIN_HANGING"));
    link("list/no-entry.so", pathFromEnvironment("BROKEN_PLUGIN_NO_ENTRY"));
    link("list/trimixer.so", trimixer());
    std::ofstream(path("list/readme.txt")) << "not a library\n";
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

struct LookupCase {
  const char* searchPath;
  std::string argument;
  int status;
  // The library found (in the scratch directory), or what the message names.
  std::vector<std::string> expected;
};

TEST_F(PluginNamesTest, NamesAreLookedUpByFileNameThenEffectNameFolderByFolder) {
  SKIP_WITHOUT_THIRD_PARTY_PLUGIN();
  makeSearchFolders();
  const std::string fullName = kIdentity.effectName;
  const LookupCase cases[] = {
      {"vst1", path("vst2/trimixer.so"), 0, {"vst2/trimixer.so"}},  // a path, not searched
      {"vst1", "trimixer", 0, {"vst1/trimixer.so"}},
      {"vst1", "TRIMIXER.SO", 0, {"vst1/trimixer.so"}},
      {"vst1", "3bandeq-vst", 0, {"vst1/eq/3BandEQ-vst.so"}},
      // Three links to one library count once; the crashing library is passed over.
      {"vst1", lowerCase(trimixerEffectName()), 0, {"vst1/Trimixer-Again.so"}},
      {"vst1", fullName, 0, {"vst1/Trimixer-Again.so"}},  // longer than the cut name
      {"vst1", "twin", 2, {"ambiguous", "vst1/sub/TWIN.so", "vst1/twin.so"}},
      {"vst1:vst2", "trimixer", 0, {"vst1/trimixer.so"}},
      {"vst2:vst1", "trimixer", 0, {"vst2/trimixer.so"}},
      {"vst1:vst2", "3 band eq", 0, {"vst1/eq/3BandEQ-vst.so"}},
      {"vst2:vst1",
       "3 band eq",
       2,
       {"ambiguous", "vst2/a/eq-copy.so", "vst2/b/eq-copy.so", "vst2/trimixer.so"}},
      {"vst1", path("vst1/missing.so"), 3, {"no such plugin file"}},
      {"vst1",
       "no such plugin",
       3,
       {"'no such plugin'", "vst1, ", "home/.vst (missing)", "/usr/lib/vst"}},
  };
  for (const LookupCase& c : cases) {
    SCOPED_TRACE(std::string(c.searchPath) + " " + c.argument);
    searchPath(c.searchPath);
    const ToolRun result = run({"info", "--json", c.argument});
    ASSERT_EQ(result.status, c.status) << result.err;
    if (c.status == 0) {
      EXPECT_EQ(nlohmann::json::parse(result.out)["plugin"], path(c.expected.front()));
      continue;
    }
    for (const std::string& text : c.expected) {
      const std::string wanted = text.find(".so") != std::string::npos ? path(text) : text;
      EXPECT_NE(result.err.find(wanted), std::string::npos) << wanted << " in " << result.err;
    }
  }
}

TEST_F(PluginNamesTest, PresetSaveAndDemoTakeNames) {
  link("vst/downmixer.so", trimixer());
  searchPath("vst");
  const ToolRun save = run({"preset", "save", "DOWNMIXER", "-"});
  EXPECT_EQ(save.status, 0) << save.err;
  EXPECT_EQ(save.out.substr(0, 4), "CcnK");
  const ToolRun demo = run({"demo", "downmixer.so"});
  EXPECT_EQ(demo.status, 0) << demo.err;
}

struct ListedLibrary {
  const char* name;
  std::string line;  // after "PATH: "
  nlohmann::json json;
};

std::vector<ListedLibrary> expectedListing(const std::string& folder) {
  const auto loaded = [](const std::string& effectName, const std::string& vendor, int inputs,
                         int outputs, int parameters, bool doublePrecision) {
    return nlohmann::json{{"status", "loaded"},
                          {"effect_name", effectName},
                          {"vendor", vendor},
                          {"inputs", inputs},
                          {"outputs", outputs},
                          {"parameters", parameters},
                          {"double_precision", doublePrecision}};
  };
  const std::string noEntry = folder +
                              "/no-entry.so is not a plugin: it exports neither "
                              "VSTPluginMain nor main";
  return {
      {"3BandEQ-vst.so",
       "\"3 Band EQ\" by \"DISTRHO\", 2 in, 2 out, 6 parameters, 64-bit processing: no",
       loaded("3 Band EQ", "DISTRHO", 2, 2, 6, false)},
      {"crash-at-start.so",
       "crashed by signal 11 (SIGSEGV)",
       {{"status", "crashed"}, {"reason", "crashed by signal 11 (SIGSEGV)"}, {"signal", 11}}},
      // It crashes only when it processes, which listing does not ask of it.
      {"crashing.so", "\"\" by \"\", 2 in, 2 out, 0 parameters, 64-bit processing: no",
       loaded("", "", 2, 2, 0, false)},
      {"hanging.so",
       "no answer within 1 s, stopped",
       {{"status", "timeout"}, {"reason", "no answer within 1 s, stopped"}}},
      {"no-entry.so", "cannot be loaded: " + noEntry, {{"status", "failed"}, {"reason", noEntry}}},
      {"trimixer.so",
       "\"" + trimixerEffectName() + "\" by \"" + kIdentity.vendor +
           "\", 6 in, 6 out, 8 parameters, 64-bit processing: yes",
       loaded(trimixerEffectName(), kIdentity.vendor, 6, 6, 8, true)},
  };
}

bool processExists(pid_t process) { return kill(process, 0) == 0 || errno != ESRCH; }

TEST_F(PluginNamesTest, ListProbesEachLibraryInAChildWithinTheTimeLimit) {
  SKIP_WITHOUT_THIRD_PARTY_PLUGIN();
  makeListFolder();
  setenv("BROKEN_PLUGIN_PID_FILE", path("hanging.pid").c_str(), 1);
  const std::string folder = path("list");
  const std::vector<ListedLibrary> expected = expectedListing(folder);
  for (const bool json : {false, true}) {
    SCOPED_TRACE(json ? "--json" : "text");
    // Probed anew each time: what the cache gives back is tested below.
    std::vector<std::string> arguments{"list", folder, "--timeout", "1", "--rescan"};
    if (json) arguments.emplace_back("--json");
    const auto start = std::chrono::steady_clock::now();
    const ToolRun result = run(arguments);
    const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(result.status, 0) << result.err;
    // The limit was waited out; that it was the limit given and not the
    // default shows in the listing's line for the hanging library. A bound
    // from above would be a timing on a shared machine.
    EXPECT_GE(taken.count(), 1.0);
    const std::vector<std::string> lines = linesOf(result.out);
    ASSERT_EQ(lines.size(), expected.size()) << result.out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string libraryPath = folder + "/" + expected[i].name;
      if (!json) {
        EXPECT_EQ(lines[i], libraryPath + ": " + expected[i].line);
        continue;
      }
      nlohmann::json object = expected[i].json;
      object["path"] = libraryPath;
      EXPECT_EQ(nlohmann::json::parse(lines[i]), object);
    }
    // The hanging child was stopped and reaped, not left behind.
    std::ifstream pidFile(path("hanging.pid"));
    pid_t hanging = 0;
    ASSERT_TRUE(pidFile >> hanging);
    EXPECT_FALSE(processExists(hanging)) << "process " << hanging << " is still there";
    fs::remove(path("hanging.pid"));
  }
}

TEST_F(PluginNamesTest, ListSearchesTheSearchFoldersByDefault) {
  SKIP_WITHOUT_THIRD_PARTY_PLUGIN();
  makeListFolder();
  searchPath("list");
  const ToolRun result = run({"list", "--timeout", "1"});
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> lines = linesOf(result.out);
  const std::vector<ListedLibrary> expected = expectedListing(path("list"));
  ASSERT_GE(lines.size(), expected.size()) << result.out;
  // The scratch folder's libraries first, by path; the third-party library,
  // reached first through the link, does not come again from /usr/lib/vst.
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(lines[i], path("list") + "/" + expected[i].name + ": " + expected[i].line);
  EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end()));
  EXPECT_EQ(result.out.find(thirdParty() + ":"), std::string::npos);

  // A reader that stops early ends the listing quietly, as in coreutils. Probed
  // again, the listing outlasts the reader; from the cache it could all fit
  // into the pipe before the reader stops.
  const std::string command = "set -o pipefail; '" + pathFromEnvironment("TRIMHOST") +
                              "' list --timeout 1 --rescan 2>'" + path("err") +
                              "' | head -c 1 >/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(("bash -c \"" + command + "\"").c_str())), 141);
  EXPECT_EQ(std::ifstream(path("err")).peek(), EOF) << "a message on standard error";
}

TEST_F(PluginNamesTest, ListRefusesBadOptions) {
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {"list", "--timeout", "0"}, {"list", "--timeout", "soon"}, {"list", path("missing")}}) {
    const ToolRun result = run(arguments);
    EXPECT_EQ(result.status, 2) << arguments.back() << ": " << result.err;
  }
}

struct UnreadableCase {
  std::vector<std::string> arguments;
  int status;
  std::string out;               // a part of standard output
  std::vector<std::string> err;  // parts of standard error
};

// As root the tool reads every folder: it runs as the unprivileged user.
TEST_F(PluginNamesTest, UnreadableFoldersAreReportedNotTakenForEmpty) {
  const std::vector<std::string> nobody{"setpriv", "--reuid=65534", "--regid=65534",
                                        "--clear-groups"};
  fs::permissions(path(""), fs::perms::all & ~fs::perms::others_write & ~fs::perms::group_write);
  const std::string check = "setpriv --reuid=65534 --regid=65534 --clear-groups '" +
                            pathFromEnvironment("TRIMHOST") + "' --version >/dev/null 2>&1";
  if (std::system(check.c_str()) != 0)
    GTEST_SKIP() << "cannot run the built trimhost as user 65534 with setpriv (util-linux): "
                    "the build tree must be reachable by every user";
  copy("vst/trimixer.so", trimixer());
  for (const char* folder : {"vst/locked", "shut", "cache"}) fs::create_directories(path(folder));
  fs::permissions(path("vst/locked"), fs::perms::none);
  fs::permissions(path("shut"), fs::perms::none);
  fs::permissions(path("cache"), fs::perms::all);
  searchPath("vst");
  const std::string locked = "cannot read " + path("vst/locked") + ": Permission denied";
  const UnreadableCase cases[] = {
      {{"list", path("vst")}, 1, path("vst/trimixer.so") + ": \"", {"trimhost: " + locked}},
      {{"list", path("shut")},
       1,
       "",
       {"trimhost: cannot read " + path("shut") + ": Permission denied", "no plugin libraries"}},
      {{"info", "no such plugin"}, 3, "", {"'no such plugin'; searched", "; " + locked}},
      // Found, but a library there could have made the name ambiguous.
      {{"info", "trimixer"},
       0,
       "plugin          " + path("vst/trimixer.so"),
       {"trimhost: warning: " + locked, "using " + path("vst/trimixer.so")}},
  };
  for (const UnreadableCase& c : cases) {
    SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back());
    const ToolRun result = run(c.arguments, nobody);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
    for (const std::string& text : c.err)
      EXPECT_NE(result.err.find(text), std::string::npos) << text << " in " << result.err;
  }
}

std::size_t linesIn(const std::string& file) {
  std::ifstream in(file);
  return static_cast<std::size_t>(
      std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

struct CacheStep {
  const char* what;
  std::function<void()> before;
  std::vector<std::string> arguments;
  std::size_t loads;  // the times the library was loaded, so far
  std::string out;    // a part of standard output
  const char* note;   // the one line on standard error, or ""
};

// Each library counts its loads itself: no timing is involved.
TEST_F(PluginNamesTest, ProbesAreCachedUntilTheLibraryChangesOrARescan) {
  copy("cached/crash.so", pathFromEnvironment("BROKEN_PLUGIN_CRASHING_AT_START"));
  link("cached/trimixer.so", trimixer());
  link("slow/hanging.so", pathFromEnvironment("BROKEN_PLUGIN_HANGING"));
  setenv("BROKEN_PLUGIN_LOAD_LOG", path("loads").c_str(), 1);
  setenv("BROKEN_PLUGIN_PID_FILE", path("hanging.pid").c_str(), 1);
  searchPath("cached");
  const std::function<void()> nothing = [] {};
  const auto changeLibrary = [&] {
    const fs::path library = path("cached/crash.so");
    fs::last_write_time(library, fs::last_write_time(library) + std::chrono::seconds(1));
  };
  const auto damageCache = [&] {
    std::ofstream(path("cache/trimhost/probes.json")) << R"({"format":1,"libraries":{"/x":[)";
  };
  const auto unusableCache = [&] { setenv("XDG_CACHE_HOME", path("loads").c_str(), 1); };
  const std::vector<std::string> list{"list", path("cached")};
  const std::string crashed = path("cached/crash.so") + ": crashed by signal 11 (SIGSEGV)";
  const std::string name = trimixerEffectName();
  const CacheStep steps[] = {
      {"first listing", nothing, list, 1, crashed, ""},
      {"second listing", nothing, list, 1, crashed, ""},
      {"lookup by effect name", nothing, {"info", name}, 1, path("cached/trimixer.so"), ""},
      {"--rescan", nothing, {"list", path("cached"), "--rescan"}, 2, crashed, ""},
      {"lookup --rescan", nothing, {"info", name, "--rescan"}, 3, "Kestrivane", ""},
      {"library changed", changeLibrary, list, 4, crashed, ""},
      {"damaged cache", damageCache, list, 5, crashed, "trimhost: note: the plugin cache "},
      {"rebuilt cache", nothing, list, 5, crashed, ""},
      {"hanging library", nothing, {"list", path("slow"), "--timeout", "1"}, 0, "within 1 s", ""},
      {"same limit", nothing, {"list", path("slow"), "--timeout", "1"}, 0, "within 1 s", ""},
      {"larger limit", nothing, {"list", path("slow"), "--timeout", "2"}, 0, "within 2 s", ""},
      {"unusable cache", unusableCache, list, 6, crashed, "trimhost: note: "},
  };
  for (const CacheStep& step : steps) {
    SCOPED_TRACE(step.what);
    step.before();
    const ToolRun result = run(step.arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find(step.out), std::string::npos) << result.out;
    EXPECT_EQ(result.err.substr(0, std::string(step.note).size()), step.note) << result.err;
    EXPECT_LE(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    if (step.arguments.back() == "1" || step.arguments.back() == "2") {
      // The hanging library leaves its process id when it is loaded.
      EXPECT_EQ(fs::remove(path("hanging.pid")), step.what != std::string("same limit"));
      continue;
    }
    EXPECT_EQ(linesIn(path("loads")), step.loads) << result.err;
  }
}

}  // namespace
