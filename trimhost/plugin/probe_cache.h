// What probing each plugin library found (plugin_probe.h), remembered between
// runs as hosts remember their plugin scans: lookups by effect name and
// `trimhost list` load only the libraries that are new or have changed.
//
// One file, $XDG_CACHE_HOME/trimhost/probes.json (~/.cache/trimhost/ when
// XDG_CACHE_HOME is unset or not absolute), holds an entry per library, keyed
// by its canonical path, size and modification time in nanoseconds: a
// library that differs in any of them is probed again, and the entries of
// libraries that are gone or have changed are dropped. A library that timed
// out is remembered with its time limit and probed again under a larger one;
// one that crashed stays crashed until it changes; one that could not be
// loaded, or whose path or texts are not UTF-8, is not remembered.
//
// The cache only saves time. A damaged, unreadable or unwritable cache is
// never an error: it is ignored and rebuilt, with one note on standard error
// at most. It is replaced whole, through a temporary file renamed into
// place, so that runs at the same time never read half of one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "trimhost/plugin/plugin_folders.h"
#include "trimhost/plugin/plugin_probe.h"

class ProbeCache {
 public:
  // With `rescan`, every library is probed again and its entry replaced.
  explicit ProbeCache(bool rescan);

  // What the library's probe found: remembered, or found now within
  // `seconds` and remembered.
  ProbeResult probe(const FoundLibrary& library, double seconds);

 private:
  // The file as it is on disk: what distinguishes one version of a library
  // from the next.
  struct Stamp {
    std::int64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const Stamp& other) const {
      return size == other.size && modifiedNanoseconds == other.modifiedNanoseconds;
    }
  };

  struct Entry {
    Stamp stamp;
    ProbeResult result;  // its path the canonical one
  };

  static std::optional<Stamp> stampOf(const std::string& file);
  const Entry* remembered(const std::string& canonical, const Stamp& stamp, double seconds);
  void load();
  void readEntries(const std::string& text);
  void save();
  void note(const std::string& text);

  std::optional<std::filesystem::path> file_;
  bool rescan_;
  bool loaded_ = false;
  bool noted_ = false;
  std::map<std::string, Entry> entries_;
};
