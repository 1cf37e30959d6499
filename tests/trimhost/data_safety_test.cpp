// trimhost with people's data: damaged inputs, outputs that are special
// files, links, the input itself or too large for their container, crashes
// and interruptions, and files that must come out exactly as rendered.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "plugin_identity.h"
#include "test_audio.h"
#include "trimhost_test.h"

namespace {

namespace fs = std::filesystem;

std::string contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

mode_t typeOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
  return status.st_mode & S_IFMT;
}

int containerOf(const std::string& path) {
  int format = 0;
  readAudio(path, &format);
  return format & SF_FORMAT_TYPEMASK;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Reads a FIFO on a thread of its own, as another program would. The test
// holds a writing end itself until finish(), so that the reader sees the end
// only then, whether or not the tool ever wrote, and even if the tool wrongly
// put another file in the FIFO's place.
class FifoReader {
 public:
  explicit FifoReader(const std::string& path)
      : fifo_(::open(path.c_str(), O_RDONLY | O_NONBLOCK)),
        keeper_(::open(path.c_str(), O_WRONLY | O_NONBLOCK)) {
    ::fcntl(fifo_, F_SETFL, ::fcntl(fifo_, F_GETFL) & ~O_NONBLOCK);
    thread_ = std::thread([this] {
      char buffer[4096];
      for (ssize_t got; (got = ::read(fifo_, buffer, sizeof buffer)) > 0;)
        received_.append(buffer, static_cast<std::size_t>(got));
    });
  }

  std::string finish() {
    ::close(keeper_);
    thread_.join();
    ::close(fifo_);
    return received_;
  }

 private:
  int fifo_;
  int keeper_;
  std::string received_;
  std::thread thread_;
};

class DataSafetyTest : public TrimhostTest {
 protected:
  void SetUp() override {
    TrimhostTest::SetUp();
    writeAudio(path("in.wav"), testSignal(6, 2000));
  }

  ToolRun render(const std::string& output, std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"render", trimixer(), path("in.wav"), output});
    return run(options);
  }
};

TEST_F(DataSafetyTest, DamagedOrShortInputsFailWithoutOutput) {
  writeAudio(path("whole.flac"), testSignal(2, 96000), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  writeAudio(path("whole.wav"), testSignal(2, 96000), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  writeAudio(path("whole.aiff"), testSignal(2, 96000), SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
  struct Damage {
    const char* file;
    const char* source;
    std::uintmax_t offset;  // where 64 bytes are overwritten; 0 to cut the file there instead
    std::uintmax_t cut;
    const char* message;
  };
  const std::string noise(64, 'A');
  for (const Damage& damage : {Damage{"middle.flac", "whole.flac", 150000, 0, "lost sync"},
                               Damage{"start.flac", "whole.flac", 100, 0, "lost sync"},
                               Damage{"short.wav", "whole.wav", 0, 200000, "the file ends early"},
                               Damage{"short.aiff", "whole.aiff", 0, 200000, "of 96000 frames"}}) {
    SCOPED_TRACE(damage.file);
    fs::copy_file(path(damage.source), path(damage.file));
    if (damage.cut > 0) {
      fs::resize_file(path(damage.file), damage.cut);
    } else {
      std::fstream file(path(damage.file), std::ios::in | std::ios::out | std::ios::binary);
      file.seekp(static_cast<std::streamoff>(damage.offset));
      file << noise;
    }
    const ToolRun result = run({"render", trimixer(), path(damage.file), path("out.wav")});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(contains(result.err, "trimhost: cannot read " + path(damage.file) + ": "))
        << result.err;
    EXPECT_TRUE(contains(result.err, damage.message)) << result.err;
    EXPECT_TRUE(contains(result.err, " of 96000 frames)")) << result.err;
    EXPECT_FALSE(fs::exists(path("out.wav")));
    fs::remove(path(damage.file));
  }
  EXPECT_EQ(files(), (std::vector<std::string>{"in.wav", "whole.aiff", "whole.flac", "whole.wav"}));

  // Whole files whose header is wrong about anything but the audio's size:
  // the bytes per second, or a sample rate retagged without them.
  const std::string whole = contents(path("whole.wav"));
  for (const auto& [field, value] : {std::pair{16, 96000u}, std::pair{12, 24000u}}) {
    SCOPED_TRACE(field);
    std::string retagged = whole;
    const std::size_t at = retagged.find("fmt ") + static_cast<std::size_t>(field);
    for (std::size_t byte = 0; byte < 4; ++byte)
      retagged[at + byte] = static_cast<char>(value >> (8 * byte));
    std::ofstream(path("retagged.wav"), std::ios::binary) << retagged;
    const ToolRun result =
        run({"render", trimixer(), path("retagged.wav"), path("out.wav"), "--overwrite"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "(96000 frames")) << result.out;
  }

  // An Ogg stream cut short has no header that gives its length: its
  // missing last page gives it away.
  ASSERT_EQ(run({"tone", path("whole.opus"), "--channels", "2"}).status, 0);
  const std::string opus = contents(path("whole.opus"));
  std::ofstream(path("cut.opus"), std::ios::binary) << opus.substr(0, opus.size() * 15 / 16);
  const ToolRun cut = run({"render", trimixer(), path("cut.opus"), path("cut.wav")});
  EXPECT_EQ(cut.status, 1);
  EXPECT_TRUE(contains(cut.err, "its Ogg stream stops before its end")) << cut.err;
  EXPECT_FALSE(fs::exists(path("cut.wav")));
}

TEST_F(DataSafetyTest, SpecialFilesAreWrittenInPlaceAndLinksStay) {
  ASSERT_EQ(::mknod(path("device").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0)
      << "the tests make a device node and need root";
  ASSERT_EQ(::mkfifo(path("pipe.au").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(path("pipe.wav").c_str(), 0600), 0);
  std::ofstream(path("target.wav")) << "the user's old file";
  fs::permissions(path("target.wav"),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("target.wav", path("link.wav"));

  EXPECT_EQ(render(path("device")).status, 0);
  EXPECT_EQ(typeOf(path("device")), S_IFCHR);

  FifoReader streamed(path("pipe.au"));
  EXPECT_EQ(render(path("pipe.au")).status, 0);
  const std::string au = streamed.finish();
  EXPECT_EQ(au.substr(0, 4), ".snd");
  EXPECT_GT(au.size(), 2000u * 6 * 4);
  EXPECT_EQ(typeOf(path("pipe.au")), S_IFIFO);

  FifoReader refused(path("pipe.wav"));
  const ToolRun wav = render(path("pipe.wav"));
  EXPECT_EQ(wav.status, 1);
  EXPECT_TRUE(contains(wav.err, "cannot write a .wav file to " + path("pipe.wav") +
                                    ": it is no file one can seek in"))
      << wav.err;
  EXPECT_TRUE(contains(wav.err, "choose a container that streams with --container: au"));
  EXPECT_EQ(refused.finish(), "");
  EXPECT_EQ(typeOf(path("pipe.wav")), S_IFIFO);

  EXPECT_EQ(render(path("link.wav"), {"--overwrite"}).status, 0);
  EXPECT_EQ(typeOf(path("link.wav")), S_IFLNK);
  EXPECT_EQ(fs::status(path("target.wav")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(readAudio(path("target.wav")).frames(), 2000u);

  const ToolRun toStandardOutput = render("-");
  EXPECT_EQ(toStandardOutput.status, 0);
  EXPECT_EQ(toStandardOutput.out.substr(0, 4), "RIFF");
  EXPECT_TRUE(contains(toStandardOutput.err, "out: 6 channel(s)")) << toStandardOutput.err;
}

// Another name for the same file is the same file: a hard link, a symlink or
// a path through "..".
TEST_F(DataSafetyTest, OutputsOntoInputsAreRefusedBeforeAnythingIsRead) {
  fs::create_hard_link(path("in.wav"), path("hard.wav"));
  fs::create_symlink(path("in.wav"), path("soft.wav"));
  const std::string plugin = path("plugin.so");
  fs::copy_file(trimixer(), plugin);
  const std::string original = contents(path("in.wav"));
  const std::string scratchName = fs::path(path("in.wav")).parent_path().filename().string();
  const std::string in = path("in.wav");
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {"render", plugin, in, in},
           {"render", plugin, in, path("hard.wav")},
           {"render", plugin, in, path("soft.wav")},
           {"render", plugin, in, path("../" + scratchName + "/in.wav")},
           {"render", plugin, in, plugin},
           {"render", plugin, in, path("out.wav"), "--save-preset", in},
           {"render", plugin, in, path("out.wav"), "--save-preset", path("out.wav")},
           {"preset", "save", plugin, plugin}}) {
    const ToolRun result = run(arguments);
    EXPECT_EQ(result.status, 2) << arguments.back();
    EXPECT_TRUE(contains(result.err, "is the same file as")) << result.err;
  }
  EXPECT_EQ(contents(path("in.wav")), original);
  EXPECT_EQ(contents(plugin), contents(trimixer()));
  EXPECT_EQ(files(), (std::vector<std::string>{"hard.wav", "in.wav", "plugin.so", "soft.wav"}));
}

// An existing file is replaced only with --overwrite, by every command that
// writes one, and is refused before anything is done; a read-only one never.
TEST_F(DataSafetyTest, ExistingFilesAreReplacedOnlyWhenAsked) {
  const std::string in = path("in.wav");
  for (const char* name : {"old.wav", "old.fxp", "out/in.wav", "readonly.wav"}) {
    fs::create_directories(fs::path(path(name)).parent_path());
    std::ofstream(path(name)) << "the user's " << name;
  }
  fs::permissions(path("readonly.wav"), fs::perms::owner_read);
  fs::create_symlink("old.wav", path("link.wav"));
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string message;
  };
  const std::string refused = "will not replace ";
  for (const Case& c : std::vector<Case>{
           {{"render", trimixer(), in, path("old.wav")}, 2, refused + path("old.wav") + ", which"},
           {{"render", trimixer(), in, path("link.wav")}, 2, "give --overwrite (-y) to replace"},
           {{"render", trimixer(), in, path("new.wav"), "--save-preset", path("old.fxp")},
            2,
            refused + path("old.fxp")},
           {{"tone", path("old.wav")}, 2, refused},
           {{"preset", "save", trimixer(), path("old.fxp")}, 2, refused},
           {{"render", trimixer(), in, path("x.wav"), "--output-dir", path("out")},
            2,
            path("out/in.wav") + ", which exists: give --overwrite (-y) to replace it, or "
                                 "--skip-existing"},
           {{"render", trimixer(), in, path("readonly.wav"), "-y"}, 1, "it is read-only"}}) {
    SCOPED_TRACE(c.arguments.front() + " " + c.arguments[c.arguments.size() - 1]);
    const ToolRun result = run(c.arguments);
    EXPECT_EQ(result.status, c.status);
    EXPECT_TRUE(contains(result.err, c.message)) << result.err;
  }
  EXPECT_EQ(contents(path("old.wav")), "the user's old.wav");
  EXPECT_EQ(contents(path("old.fxp")), "the user's old.fxp");
  EXPECT_EQ(contents(path("out/in.wav")), "the user's out/in.wav");
  EXPECT_EQ(files(), (std::vector<std::string>{"in.wav", "link.wav", "old.fxp", "old.wav", "out",
                                               "readonly.wav"}));

  ASSERT_EQ(render(path("link.wav"), {"-y"}).status, 0);
  EXPECT_EQ(typeOf(path("link.wav")), S_IFLNK);
  EXPECT_EQ(readAudio(path("old.wav")).frames(), 2000u);
  EXPECT_EQ(run({"tone", path("old.wav"), "--overwrite"}).status, 0);

  // A batch resumed: the file already there is left as it is.
  fs::copy_file(in, path("second.wav"));
  const ToolRun resumed = run({"render", trimixer(), in, path("second.wav"), "--output-dir",
                               path("out"), "--skip-existing"});
  EXPECT_EQ(resumed.status, 0) << resumed.err;
  EXPECT_TRUE(contains(resumed.out, "skipped: " + in + ": its output exists")) << resumed.out;
  EXPECT_TRUE(contains(resumed.out, "1 of 2 files rendered into " + path("out") +
                                        ", 1 skipped as their output exists"))
      << resumed.out;
  EXPECT_EQ(contents(path("out/in.wav")), "the user's out/in.wav");
  EXPECT_EQ(readAudio(path("out/second.wav")).frames(), 2000u);
}

TEST_F(DataSafetyTest, ContainersFollowTheExtensionAndAdviceWorks) {
  struct Case {
    const char* name;
    std::vector<std::string> options;
    int container;
  };
  const std::vector<std::string> stereo{"--outputs", "2"};
  for (const Case& c : std::vector<Case>{{"out.aif", {}, SF_FORMAT_AIFF},
                                         {"out.aifc", {}, SF_FORMAT_AIFF},
                                         {"out.snd", {}, SF_FORMAT_AU},
                                         {"out.rf64", {}, SF_FORMAT_RF64},
                                         {"out.wave", {"--container", "rf64"}, SF_FORMAT_RF64},
                                         {"out.w64", {}, SF_FORMAT_W64},
                                         {"out.ogg", stereo, SF_FORMAT_OGG},
                                         {"out.opus", stereo, SF_FORMAT_OGG},
                                         {"out.mp3", stereo, SF_FORMAT_MPEG},
                                         {"out.data", {"--container", "caf"}, SF_FORMAT_CAF}}) {
    SCOPED_TRACE(c.name);
    const ToolRun result = render(path(c.name), c.options);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(containerOf(path(c.name)), c.container);
  }
  // A Broadcast WAV would need its bext chunk, which is not written.
  for (const char* name : {"out.xyz", "out.bwf"}) {
    const ToolRun unknown = render(path(name));
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(contains(unknown.err, "choose one of aif, aifc, aiff, au,")) << unknown.err;
  }
  // The advice for a container that cannot hold the input's samples, followed.
  const ToolRun flac = render(path("out.flac"));
  EXPECT_EQ(flac.status, 1);
  const std::string advice = "choose one with --format: ";
  ASSERT_TRUE(contains(flac.err, advice)) << flac.err;
  const std::string first = flac.err.substr(flac.err.find(advice) + advice.size(), 5);
  EXPECT_EQ(render(path("out.flac"), {"--format", first}).status, 0) << first;

  // A decoded lossy input needs no --format: a format is chosen, and said.
  ASSERT_EQ(run({"tone", path("in.ogg"), "--channels", "2", "--seconds", "0.1"}).status, 0);
  for (const auto& [name, format] : {std::pair{"decoded.wav", "32 bit float, as a .wav"},
                                     std::pair{"decoded.flac", "Signed 24 bit PCM, as a .flac"}}) {
    const ToolRun decoded =
        run({"render", trimixer(), path("in.ogg"), path(name), "--outputs", "2"});
    EXPECT_EQ(decoded.status, 0) << decoded.err;
    EXPECT_TRUE(contains(decoded.err,
                         std::string("format: ") + format + " file cannot hold the input's Vorbis"))
        << decoded.err;
  }
}

// Every output is checked before processing starts: with a plugin that
// crashes when it processes, the check must come first.
TEST_F(DataSafetyTest, CrashesAndInterruptionsLeaveNoFile) {
  const std::string crashing = pathFromEnvironment("BROKEN_PLUGIN_CRASHING");
  const std::string in = path("in.wav");
  const ToolRun unwritable = run({"render", crashing, in, path("out.wav"), "--drop-extra",
                                  "--save-preset", path("none/p.fxp")});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_TRUE(contains(unwritable.err, "cannot write " + path("none/p.fxp"))) << unwritable.err;

  // With --json too: the render's process ended, and trimhost's reports it.
  for (const bool json : {false, true}) {
    std::vector<std::string> arguments{"render", crashing, in, path("out.wav"), "--drop-extra"};
    if (json) arguments.push_back("--json");
    const ToolRun crashed = run(arguments);
    EXPECT_EQ(crashed.status, 6);
    EXPECT_EQ(crashed.err,
              "trimhost: the plugin crashed (SIGSEGV, segmentation fault) in its processReplacing; "
              "unfinished output removed\n");
    if (json) {
      EXPECT_EQ(nlohmann::json::parse(crashed.out)["status"], "crashed") << crashed.out;
    }
  }

  // Interrupted once its temporary file is there, so that there is one to remove;
  // a render passes the signal on to the process that renders.
  const std::string hanging = pathFromEnvironment("BROKEN_PLUGIN_HANGING");
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"tone", path("long.wav"), "--seconds", "86400"},
        std::vector<std::string>{"render", hanging, in, path("long.wav")}}) {
    const pid_t tool = start(arguments);
    awaitTemporaryOf("long.wav");
    ::kill(tool, SIGINT);
    const ToolRun interrupted = finish(tool);
    EXPECT_EQ(interrupted.status, 130);
    EXPECT_EQ(interrupted.err, "trimhost: interrupted (SIGINT); unfinished output removed\n");
  }
  EXPECT_EQ(files(), std::vector<std::string>{"in.wav"});
}

TEST_F(DataSafetyTest, NonsenseOptionsAreUsageErrors) {
  const std::string in = path("in.wav");
  const std::string out = path("out.wav");
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string message;
  };
  for (const Case& c : std::vector<Case>{
           {{"render", trimixer(), in, out, "--tempo", "nan"}, 2, "--tempo: 'nan' is not a finite"},
           {{"render", trimixer(), in, out, "--tempo", "1e9"}, 2, "--tempo: 1e9 is out of range"},
           {{"render", trimixer(), in, out, "--time-signature", "99999999999/4"},
            2,
            "from 1 to 99"},
           {{"render", trimixer(), in, out, "--time-signature", "3/5"}, 2, "must be 1, 2, 4"},
           {{"render", trimixer(), in, out, "--outputs", "0"},
            2,
            "--outputs: 0 is out of range: from 1 to 64"},
           {{"render", trimixer(), in, out, "--block", "abc"}, 2, "--block: 'abc' is not a number"},
           {{"render", trimixer(), in, out, "--block", "2.5"}, 2, "'2.5' is not a whole number"},
           {{"tone", out, "--seconds", "nan"}, 2, "--seconds: 'nan' is not a finite number"},
           {{"tone", out, "--format", "pcm7"},
            2,
            "--format pcm7: not a sample format; choose one of pcm16"},
           {{"frobnicate"}, 2, "unknown command 'frobnicate'; the commands are demo, info, render"},
           {{"--version"}, 0, std::string("trimhost ") + plugin_identity::kVersion + "\n"},
           {{"tone", "/dev/null", "--seconds", "0.00002"}, 0, "32 bit float, 1 frame\n"},
           {{"help"}, 0, "Usage: trimhost"},
           {{"help", "render"}, 0, "--time-signature"},
           {{"help", "preset", "save"}, 0, "Usage: save [OPTIONS] PLUGIN FILE"},
           {{"help", "tone"}, 0, "extension; without one, wav)"},
           {{"tone"}, 2, "OUTPUT is required (see trimhost help tone)"},
           {{"preset", "save", trimixer()}, 2, "(see trimhost help preset save)"}}) {
    SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back());
    const ToolRun result = run(c.arguments);
    EXPECT_EQ(result.status, c.status);
    EXPECT_TRUE(contains(c.status == 0 ? result.out : result.err, c.message))
        << result.out << result.err;
    EXPECT_FALSE(contains(result.out, "{false}")) << "a flag's value shown as its default";
  }
  EXPECT_EQ(files(), std::vector<std::string>{"in.wav"});
}

// 32-bit integers go through the 64-bit path and come back bit for bit;
// float outputs of that path saturate like the float path instead of
// becoming infinite.
TEST_F(DataSafetyTest, PrecisionBeyond24BitsIsKept) {
  SKIP_WITHOUT_THIRD_PARTY_PLUGIN();
  // Odd integers all over the range: their last bits are lost in a float.
  SF_INFO integerInfo{};
  integerInfo.channels = 2;
  integerInfo.samplerate = 48000;
  integerInfo.format = SF_FORMAT_WAV | SF_FORMAT_PCM_32;
  std::vector<int> odd(4000);
  for (std::size_t i = 0; i < odd.size(); ++i) odd[i] = static_cast<int>(i * 536870909u) | 1;
  SNDFILE* integerFile = sf_open(path("int32.wav").c_str(), SFM_WRITE, &integerInfo);
  sf_writef_int(integerFile, odd.data(), 2000);
  sf_close(integerFile);
  const ToolRun exact =
      run({"render", trimixer(), path("int32.wav"), path("out.wav"), "--outputs", "2"});
  ASSERT_EQ(exact.status, 0) << exact.err;
  EXPECT_TRUE(contains(exact.out, "processing: 64-bit float (the input holds Signed 32 bit PCM"))
      << exact.out;
  const auto integers = [](const std::string& file) {
    SF_INFO info{};
    SNDFILE* sndfile = sf_open(file.c_str(), SFM_READ, &info);
    std::vector<int> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_int(sndfile, samples.data(), info.frames);
    sf_close(sndfile);
    return samples;
  };
  EXPECT_EQ(integers(path("out.wav")), integers(path("int32.wav")));

  const ToolRun warned = run({"render", thirdParty(), path("int32.wav"), path("eq.wav")});
  EXPECT_EQ(warned.status, 0) << warned.err;
  EXPECT_TRUE(contains(warned.err,
                       "warning: the input holds Signed 32 bit PCM samples, but the "
                       "plugin offers only 32-bit float processing"))
      << warned.err;

  SF_INFO info{};
  info.channels = 2;
  info.samplerate = 48000;
  info.format = SF_FORMAT_WAV | SF_FORMAT_DOUBLE;
  SNDFILE* huge = sf_open(path("huge.wav").c_str(), SFM_WRITE, &info);
  const double beyondFloat[] = {1e39, -1e39, 1e300, 0.5};
  sf_writef_double(huge, beyondFloat, 2);
  sf_close(huge);
  const ToolRun saturated = run({"render", trimixer(), path("huge.wav"), path("float.wav"),
                                 "--format", "float32", "--outputs", "2"});
  ASSERT_EQ(saturated.status, 0) << saturated.err;
  EXPECT_EQ(readAudio(path("float.wav")).samples,
            (std::vector<float>{FLT_MAX, -FLT_MAX, FLT_MAX, 0.5f}));
}

TEST_F(DataSafetyTest, FilesHoldExactlyWhatWasRendered) {
  std::ofstream(path("p.fxp.partial")) << "a file of the user's";
  const std::string longName = path(std::string(250, 'x') + ".wav");
  ASSERT_EQ(render(longName, {"--save-preset", path("p.fxp")}).status, 0);
  EXPECT_EQ(contents(path("p.fxp.partial")), "a file of the user's");

  // Peaks of what a 16-bit file holds: a value below its last step is silence.
  Audio faint;
  faint.channels = 2;
  faint.samples = {1e-30f, 0.5f};
  writeAudio(path("faint.wav"), faint);
  const ToolRun quantised =
      run({"render", trimixer(), path("faint.wav"), path("faint16.wav"), "--format", "pcm16"});
  EXPECT_TRUE(contains(quantised.out, "peak dBFS -inf -6.02 -inf")) << quantised.out;

  for (const char* name : {"a.wav", "a.aiff", "a.caf", "a.flac"}) {
    SCOPED_TRACE(name);
    const std::vector<std::string> options{"--format",
                                           std::string(name) == "a.flac" ? "pcm24" : "float32"};
    ASSERT_EQ(render(path(std::string("1") + name), options).status, 0);
    ASSERT_EQ(render(path(std::string("2") + name), options).status, 0);
    EXPECT_EQ(contents(path(std::string("1") + name)), contents(path(std::string("2") + name)));
  }
  // More than two channels take the extensible WAV format, whose channel
  // mask then claims no speaker positions: six channels are no 5.1 here.
  EXPECT_EQ(containerOf(path("1a.wav")), SF_FORMAT_WAVEX);
  const std::string header = contents(path("1a.wav")).substr(0, 512);
  EXPECT_EQ(header.substr(header.find("fmt ") + 28, 4), std::string(4, '\0'));
}

// An hour and more of six 64-bit channels: beyond the 4 GiB of a plain WAV
// or AIFF file. It needs that much room on the disk, and a little time.
TEST_F(DataSafetyTest, OutputsBeyondFourGiB) {
  constexpr std::uintmax_t kRoomNeeded = std::uintmax_t{10} << 30;
  if (fs::space(path("")).available < kRoomNeeded) GTEST_SKIP() << "less than 10 GiB free";
  ASSERT_EQ(
      run({"tone", path("long.wav"), "--channels", "1", "--seconds", "1870", "--format", "pcm16"})
          .status,
      0);
  const std::string in = path("long.wav");
  const ToolRun aiff = run({"render", trimixer(), in, path("out.aiff"), "--format", "float64"});
  EXPECT_EQ(aiff.status, 1);
  EXPECT_TRUE(contains(aiff.err, "more than the 4 GiB its container can hold; write .rf64 or .w64"))
      << aiff.err;
  EXPECT_FALSE(contains(aiff.out, "processing:"));
  ASSERT_EQ(run({"render", trimixer(), in, path("big.wav"), "--format", "float64"}).status, 0);
  SF_INFO info{};
  SNDFILE* big = sf_open(path("big.wav").c_str(), SFM_READ, &info);
  ASSERT_NE(big, nullptr);
  sf_close(big);
  EXPECT_EQ(info.frames, 1870 * 48000);
  EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_RF64);
}

}  // namespace
