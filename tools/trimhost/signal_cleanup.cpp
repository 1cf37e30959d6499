#include "signal_cleanup.h"

#include <limits.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "plugin_call.h"
#include "tool_error.h"

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

struct SignalName {
  int number;
  const char* name;
};
constexpr SignalName kInterruptions[] = {
    {SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};
constexpr SignalName kCrashes[] = {{SIGSEGV, "SIGSEGV, segmentation fault"},
                                   {SIGBUS, "SIGBUS, bus error"},
                                   {SIGFPE, "SIGFPE, arithmetic error"},
                                   {SIGILL, "SIGILL, illegal instruction"},
                                   {SIGABRT, "SIGABRT, aborted"}};

// A line built without allocating, for the handlers.
class SignalMessage {
 public:
  SignalMessage& operator<<(const char* text) {
    while (*text != '\0' && length_ < text_.size()) text_[length_++] = *text++;
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

  void print() const {
    const ssize_t ignored = ::write(STDERR_FILENO, text_.data(), length_);
    static_cast<void>(ignored);
  }

 private:
  std::array<char, 512> text_{};
  std::size_t length_ = 0;
};

const char* nameOf(int signal, const SignalName* names, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    if (names[i].number == signal) return names[i].name;
  return "signal";
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
  message << "\n";
  message.print();
  ::_exit(status);
}

void onInterruption(int signal) {
  SignalMessage message;
  message << "trimhost: interrupted (" << nameOf(signal, kInterruptions, std::size(kInterruptions))
          << ")";
  endWithMessage(message, 128 + signal);
}

void onCrash(int signal) {
  SignalMessage message;
  const char* name = nameOf(signal, kCrashes, std::size(kCrashes));
  if (const char* function = pluginFunctionInProgress()) {
    message << "trimhost: the plugin crashed (" << name << ")";
    appendCallInProgress(message, function);
  } else {
    message << "trimhost: crashed (" << name << ") outside any call into the plugin";
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
  for (const SignalName& interruption : kInterruptions)
    handle(interruption.number, onInterruption, 0);
  for (const SignalName& crash : kCrashes)
    handle(crash.number, onCrash, SA_ONSTACK | SA_RESETHAND | SA_NODEFER);
  std::signal(SIGPIPE, SIG_IGN);
}

sigset_t interruptionSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const SignalName& interruption : kInterruptions) sigaddset(&set, interruption.number);
  return set;
}

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
