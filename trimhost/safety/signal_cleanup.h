// What happens when a signal ends trimhost: the temporary files it was
// writing are removed, one line on standard error says why, and the exit
// status tells an interruption from a crash. A plugin runs inside this
// process, so its crashes are caught here too.
#pragma once

#include <csignal>
#include <iterator>
#include <string>

// A signal's name, such as "SIGKILL" ("signal N" for a number without one),
// and the phrase for messages, "signal 9 (SIGKILL)".
std::string signalName(int signal);
std::string signalPhrase(int signal);

// The signals by which someone asks the tool to stop.
inline constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP};
bool isInterruption(int signal);

// Installs the handlers; called once at start-up. SIGINT, SIGTERM and SIGHUP
// end the tool with status 128 + the signal's number; SIGSEGV, SIGBUS,
// SIGFPE, SIGILL and SIGABRT with ExitStatus::Crashed, naming the plugin call
// in progress. SIGPIPE is ignored, so that a reader closing its end of a pipe
// shows as a write error.
void installSignalHandlers();

// Holds SIGINT, SIGTERM and SIGHUP back while it lives, or until restore():
// one that arrives meanwhile is handled then. Used where a signal must not
// fall between two steps, such as creating a temporary file and registering
// it, or forking a render and installing its handlers.
class InterruptionsHeld {
 public:
  InterruptionsHeld();
  ~InterruptionsHeld() { restore(); }
  InterruptionsHeld(const InterruptionsHeld&) = delete;
  InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;

  void restore();

 private:
  sigset_t previous_;
  bool held_ = true;
};

// Holds interruptions back for the rest of the run: once an output is in
// place the command has done its work, and an interruption must not report
// it as unfinished.
void deferInterruptions();

// For as long as it lives, SIGINT, SIGTERM and SIGHUP do not end the tool:
// the last one to come is noted, for a process that watches render children
// to stop them, report every file and then end with the signal's status.
// Without SA_RESTART the signal cuts a wait short.
class InterruptionWatch {
 public:
  InterruptionWatch();
  ~InterruptionWatch();
  InterruptionWatch(const InterruptionWatch&) = delete;
  InterruptionWatch& operator=(const InterruptionWatch&) = delete;

  // 0 until a signal came.
  int signal() const;

 private:
  struct sigaction previous_[std::size(kInterruptions)]{};
};

// In a child process that must end by its signals as any program does (a
// probe of a plugin library): the default action for every signal handled here.
void restoreDefaultSignalActions();

// From now on every file registered for removal is also announced on this
// descriptor, as "unfinished: PATH" and a NUL each (a path may hold a newline,
// never a NUL): a render child tells its parent what to remove should a
// signal that no handler sees (SIGKILL) end it. A signal the handlers see is
// told there too, instead of on standard error, as "ended: WHY" and a NUL:
// the parent reports how the render ended.
void announceRemovalsTo(int descriptor);

// The announcements' leads and end, for the reader.
inline constexpr char kUnfinishedAnnouncement[] = "unfinished: ";
inline constexpr char kEndedAnnouncement[] = "ended: ";
inline constexpr char kAnnouncementEnd = '\0';

// Registers a file for removal should a signal end the tool, for as long as
// this object lives. Throws std::logic_error when more files are registered
// at once than the handlers have room for.
class RemovalOnSignal {
 public:
  explicit RemovalOnSignal(const std::string& path);
  ~RemovalOnSignal();

  RemovalOnSignal(const RemovalOnSignal&) = delete;
  RemovalOnSignal& operator=(const RemovalOnSignal&) = delete;

 private:
  int slot_;
};
