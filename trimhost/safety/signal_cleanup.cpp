#include "trimhost/safety/signal_cleanup.h"

#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "plugin_host/plugin_call.h"
#include "trimhost/cli/tool_error.h"

namespace {

// The handlers may only read what is already in place: fixed slots of path
// text, each published by its flag after the text is written.
constexpr int kSlots = 8;
struct Slot {
  std::array<char, PATH_MAX> path{};
  volatile std::sig_atomic_t used = 0;
};
std::array<Slot, kSlots> slots;

int announcements = -1;

// Room for the handler's own stack, so that a plugin that overflows its
// stack is still reported.
std::array<char, 64 * 1024> alternateStack;

struct Crash {
  int signal;
  const char* description;
};
constexpr Crash kCrashes[] = {{SIGSEGV, "segmentation fault"},
                              {SIGBUS, "bus error"},
                              {SIGFPE, "arithmetic error"},
                              {SIGILL, "illegal instruction"},
                              {SIGABRT, "aborted"}};

volatile std::sig_atomic_t pendingInterruption = 0;

// A line built without allocating, for the handlers.
class SignalMessage {
 public:
  SignalMessage& operator<<(const char* text) {
    while (*text != '\0' && length_ < text_.size()) text_[length_++] = *text++;
    return *this;
  }

  SignalMessage& operator<<(char character) {
    if (length_ < text_.size()) text_[length_++] = character;
    return *this;
  }

  SignalMessage& operator<<(std::int32_t number) {
    char digits[12];
    int count = 0;
    auto rest =
        static_cast<std::uint32_t>(number < 0 ? -static_cast<std::int64_t>(number) : number);
    do {
      digits[count++] = static_cast<char>('0' + rest % 10);
      rest /= 10;
    } while (rest != 0 && count < 11);
    if (number < 0) *this << "-";
    while (count > 0 && length_ < text_.size()) text_[length_++] = digits[--count];
    return *this;
  }

  // sigabbrev_np only reads a table, so handlers may call it.
  SignalMessage& appendSignalName(int signal) {
    if (const char* abbreviation = ::sigabbrev_np(signal)) return *this << "SIG" << abbreviation;
    return *this << "signal " << signal;
  }

  std::string text() const { return std::string(text_.data(), length_); }

  void print(int descriptor) const {
    const ssize_t ignored = ::write(descriptor, text_.data(), length_);
    static_cast<void>(ignored);
  }

 private:
  std::array<char, 512> text_{};
  std::size_t length_ = 0;
};

const char* crashDescription(int signal) {
  for (const Crash& crash : kCrashes)
    if (crash.signal == signal) return crash.description;
  return "crash";
}

// A render child's parent reports how it ended; the tool alone says it itself.
SignalMessage endingMessage() {
  SignalMessage message;
  message << (announcements >= 0 ? kEndedAnnouncement : "trimhost: ");
  return message;
}

// True when a file was removed.
bool removeRegisteredFiles() {
  bool removed = false;
  for (Slot& slot : slots) {
    if (slot.used != 0 && ::unlink(slot.path.data()) == 0) removed = true;
  }
  return removed;
}

void appendCallInProgress(SignalMessage& message, const char* function) {
  message << " in its " << function;
  const std::int32_t opcode = pluginOpcodeInProgress();
  if (opcode < 0) return;
  const char* name = dispatcherOpcodeName(opcode);
  message << " (" << (name != nullptr ? name : "unknown") << ", opcode " << opcode << ")";
}

void endWithMessage(SignalMessage& message, int status) {
  if (removeRegisteredFiles()) message << "; unfinished output removed";
  if (announcements >= 0) {
    message << kAnnouncementEnd;
    message.print(announcements);
  } else {
    message << '\n';
    message.print(STDERR_FILENO);
  }
  ::_exit(status);
}

void onInterruption(int signal) {
  SignalMessage message = endingMessage();
  message << "interrupted (";
  message.appendSignalName(signal) << ")";
  endWithMessage(message, 128 + signal);
}

void onCrash(int signal) {
  SignalMessage message = endingMessage();
  const char* function = pluginFunctionInProgress();
  message << (function != nullptr ? "the plugin crashed (" : "crashed (");
  message.appendSignalName(signal) << ", " << crashDescription(signal) << ")";
  if (function != nullptr) {
    appendCallInProgress(message, function);
  } else {
    message << " outside any call into the plugin";
  }
  endWithMessage(message, static_cast<int>(ExitStatus::Crashed));
}

void handle(int signal, void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigfillset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

}  // namespace

void installSignalHandlers() {
  stack_t stack{};
  stack.ss_sp = alternateStack.data();
  stack.ss_size = alternateStack.size();
  sigaltstack(&stack, nullptr);
  for (const int interruption : kInterruptions) handle(interruption, onInterruption, 0);
  for (const Crash& crash : kCrashes)
    handle(crash.signal, onCrash, SA_ONSTACK | SA_RESETHAND | SA_NODEFER);
  std::signal(SIGPIPE, SIG_IGN);
}

void restoreDefaultSignalActions() {
  for (const int interruption : kInterruptions) std::signal(interruption, SIG_DFL);
  for (const Crash& crash : kCrashes) std::signal(crash.signal, SIG_DFL);
}

std::string signalName(int signal) { return SignalMessage().appendSignalName(signal).text(); }

std::string signalPhrase(int signal) {
  return "signal " + std::to_string(signal) + " (" + signalName(signal) + ")";
}

bool isInterruption(int signal) {
  return std::find(std::begin(kInterruptions), std::end(kInterruptions), signal) !=
         std::end(kInterruptions);
}

sigset_t interruptionSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int interruption : kInterruptions) sigaddset(&set, interruption);
  return set;
}

InterruptionWatch::InterruptionWatch() {
  pendingInterruption = 0;
  struct sigaction action {};
  action.sa_handler = [](int signal) { pendingInterruption = signal; };
  sigfillset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kInterruptions); ++i)
    ::sigaction(kInterruptions[i], &action, &previous_[i]);
}

InterruptionWatch::~InterruptionWatch() {
  for (std::size_t i = 0; i < std::size(kInterruptions); ++i)
    ::sigaction(kInterruptions[i], &previous_[i], nullptr);
}

int InterruptionWatch::signal() const { return pendingInterruption; }

InterruptionsHeld::InterruptionsHeld() {
  const sigset_t set = interruptionSet();
  sigprocmask(SIG_BLOCK, &set, &previous_);
}

void InterruptionsHeld::restore() {
  if (!held_) return;
  held_ = false;
  sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

void deferInterruptions() {
  const sigset_t set = interruptionSet();
  sigprocmask(SIG_BLOCK, &set, nullptr);
}

void announceRemovalsTo(int descriptor) { announcements = descriptor; }

RemovalOnSignal::RemovalOnSignal(const std::string& path) : slot_(-1) {
  if (announcements >= 0) {
    const std::string line = kUnfinishedAnnouncement + path + kAnnouncementEnd;
    const ssize_t ignored = ::write(announcements, line.data(), line.size());
    static_cast<void>(ignored);
  }
  if (path.size() >= PATH_MAX) throw std::logic_error("path too long to register: " + path);
  for (int index = 0; index < kSlots; ++index) {
    if (slots[index].used != 0) continue;
    std::memcpy(slots[index].path.data(), path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    slots[index].used = 1;
    slot_ = index;
    return;
  }
  throw std::logic_error("too many files registered for removal on a signal");
}

RemovalOnSignal::~RemovalOnSignal() { slots[slot_].used = 0; }
