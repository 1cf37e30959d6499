#include "trimhost/plugin/probe_cache.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "trimhost/cli/tool_error.h"
#include "trimhost/safety/output_file.h"

namespace fs = std::filesystem;

namespace {

// Raised whenever what an entry holds changes, so that an older trimhost's
// cache is rebuilt rather than misread.
constexpr int kFormat = 1;

std::optional<fs::path> cacheFile() {
  const char* cacheHome = std::getenv("XDG_CACHE_HOME");
  if (cacheHome != nullptr && cacheHome[0] == '/')
    return fs::path(cacheHome) / "trimhost/probes.json";
  const std::string home = homeFolder();
  if (home.empty()) return std::nullopt;
  return fs::path(home) / ".cache/trimhost/probes.json";
}

std::string replacedAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); !from.empty() && at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The result as reached by another path: reasons such as "PATH is not a
// plugin" name the path the library was loaded by.
ProbeResult reachedAs(ProbeResult result, const std::string& from, const std::string& to) {
  result.path = to;
  result.reason = replacedAll(result.reason, from, to);
  return result;
}

// Paths and plugins' texts need not be UTF-8, which JSON cannot carry
// unchanged: a library with such a text is probed each time instead.
bool isUtf8(const nlohmann::json& json) {
  try {
    json.dump();
    return true;
  } catch (const nlohmann::json::type_error&) {
    return false;
  }
}

}  // namespace

ProbeCache::ProbeCache(bool rescan) : file_(cacheFile()), rescan_(rescan) {}

ProbeResult ProbeCache::probe(const FoundLibrary& library, double seconds) {
  if (!loaded_) load();
  // Stamped before the probe: a library replaced meanwhile is probed again next time.
  const std::optional<Stamp> stamp = stampOf(library.canonical);
  if (const Entry* entry = stamp ? remembered(library.canonical, *stamp, seconds) : nullptr)
    return reachedAs(entry->result, library.canonical, library.path);
  const ProbeResult result = probePlugin(library.path, seconds);
  // A library that could not be loaded may lack only a library it needs,
  // installed later; failing is quick, and so is trying again.
  if (stamp && result.status != ProbeStatus::Failed) {
    entries_[library.canonical] = {*stamp, reachedAs(result, library.path, library.canonical)};
    save();
  }
  return result;
}

std::optional<ProbeCache::Stamp> ProbeCache::stampOf(const std::string& file) {
  struct stat status {};
  if (::stat(file.c_str(), &status) != 0) return std::nullopt;
  constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
  return Stamp{static_cast<std::int64_t>(status.st_size),
               static_cast<std::int64_t>(status.st_mtim.tv_sec) * kNanosecondsPerSecond +
                   status.st_mtim.tv_nsec};
}

const ProbeCache::Entry* ProbeCache::remembered(const std::string& canonical, const Stamp& stamp,
                                                double seconds) {
  const auto found = entries_.find(canonical);
  if (rescan_ || found == entries_.end() || !(found->second.stamp == stamp)) return nullptr;
  const ProbeResult& result = found->second.result;
  // A library that did not answer within a shorter limit may answer within this one.
  if (result.status == ProbeStatus::TimedOut && seconds > result.seconds) return nullptr;
  return &found->second;
}

void ProbeCache::load() {
  loaded_ = true;
  if (!file_) return;
  std::ifstream in(*file_, std::ios::binary);
  if (!in) {
    if (errno != ENOENT)
      note("cannot read the plugin cache " + file_->string() + ": " + std::strerror(errno) +
           "; every library is probed");
    return;
  }
  std::ostringstream text;
  text << in.rdbuf();
  try {
    readEntries(text.str());
  } catch (const std::exception&) {
    entries_.clear();
    note("the plugin cache " + file_->string() + " is damaged; it is rebuilt");
  }
}

void ProbeCache::readEntries(const std::string& text) {
  const nlohmann::json cache = nlohmann::json::parse(text);
  if (cache.at("format").get<int>() != kFormat) return;  // rebuilt in this trimhost's format
  bool dropped = false;
  for (const auto& [canonical, json] : cache.at("libraries").items()) {
    Entry entry{{json.at("size").get<std::int64_t>(), json.at("modified_ns").get<std::int64_t>()},
                probeFromJson(json.at("result"))};
    if (entry.result.status == ProbeStatus::TimedOut)
      entry.result.seconds = json.at("seconds").get<double>();
    const std::optional<Stamp> stamp = stampOf(canonical);
    if (stamp && *stamp == entry.stamp)
      entries_.emplace(canonical, entry);
    else
      dropped = true;  // gone or changed
  }
  if (dropped) save();
}

void ProbeCache::save() {
  if (!file_) return;
  nlohmann::json libraries = nlohmann::json::object();
  for (const auto& [canonical, entry] : entries_) {
    nlohmann::json json = {{"size", entry.stamp.size},
                           {"modified_ns", entry.stamp.modifiedNanoseconds},
                           {"result", probeJson(entry.result)}};
    if (entry.result.status == ProbeStatus::TimedOut) json["seconds"] = entry.result.seconds;
    if (isUtf8({{canonical, json}})) libraries[canonical] = json;
  }
  const std::string text =
      nlohmann::json{{"format", kFormat}, {"libraries", libraries}}.dump(1) + "\n";
  try {
    std::error_code error;
    fs::create_directories(file_->parent_path(), error);
    if (error)
      throw ToolError(
          ExitStatus::Failure,
          "cannot make the folder " + file_->parent_path().string() + ": " + error.message());
    OutputFile out(file_->string(), ExistingOutput::Replace);
    out.writeAll(text.data(), text.size());
    out.commit();
  } catch (const ToolError& error) {
    note(std::string("cannot update the plugin cache: ") + error.what());
    file_.reset();  // one failure is enough: the rest of the run goes without
  }
}

void ProbeCache::note(const std::string& text) {
  if (noted_) return;
  noted_ = true;
  std::fprintf(stderr, "trimhost: note: %s\n", text.c_str());
}
