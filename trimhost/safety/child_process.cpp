#include "trimhost/safety/child_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

const char* missingText(ChildNotStarted::Missing missing) {
  return missing == ChildNotStarted::Missing::Pipe ? "no pipe" : "no process";
}

void closeOpen(int& descriptor) {
  if (descriptor >= 0) ::close(descriptor);
  descriptor = -1;
}

bool readable(const std::vector<pollfd>& watched, int descriptor) {
  return descriptor >= 0 &&
         std::any_of(watched.begin(), watched.end(), [descriptor](const pollfd& p) {
           return p.fd == descriptor && p.revents != 0;
         });
}

// Both ends of each pipe; on failure, those already made are closed.
std::vector<int> makePipes(std::size_t count) {
  std::vector<int> ends;
  for (std::size_t pipe = 0; pipe < count; ++pipe) {
    int pair[2];
    if (::pipe2(pair, O_CLOEXEC) != 0) {
      const int error = errno;
      for (int& end : ends) closeOpen(end);
      throw ChildNotStarted(ChildNotStarted::Missing::Pipe, error);
    }
    ends.insert(ends.end(), {pair[0], pair[1]});
  }
  return ends;
}

}  // namespace

ChildNotStarted::ChildNotStarted(Missing missing, int error)
    : std::runtime_error(std::string(missingText(missing)) + ": " + std::strerror(error)),
      missing(missing),
      error(error) {}

ChildProcess::ChildProcess(std::size_t pipes, bool ownGroup, const Body& body)
    : ownGroup_(ownGroup) {
  std::vector<int> ends = makePipes(pipes);
  std::vector<int> writing;
  for (std::size_t pipe = 0; pipe < pipes; ++pipe) {
    pipes_.push_back(ends[2 * pipe]);
    writing.push_back(ends[2 * pipe + 1]);
  }
  received_.resize(pipes);
  std::fflush(nullptr);
  pid_ = ::fork();
  if (pid_ == 0) {
    for (int& end : pipes_) closeOpen(end);
    if (ownGroup_) ::setpgid(0, 0);
    body(writing);
    ::_exit(127);
  }
  const int error = errno;
  for (int& end : writing) closeOpen(end);
  if (pid_ < 0) {
    closePipes();
    throw ChildNotStarted(ChildNotStarted::Missing::Process, error);
  }
  if (ownGroup_) ::setpgid(pid_, pid_);  // as the child does, whichever comes first
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    signal(SIGKILL);
    reap();
  }
  closePipes();
}

bool ChildProcess::pipesClosed() const {
  return std::all_of(pipes_.begin(), pipes_.end(), [](int end) { return end < 0; });
}

void ChildProcess::addPipes(std::vector<pollfd>& watched) const {
  for (const int end : pipes_)
    if (end >= 0) watched.push_back({end, POLLIN, 0});
}

void ChildProcess::readPipes(const std::vector<pollfd>& watched) {
  for (std::size_t pipe = 0; pipe < pipes_.size(); ++pipe)
    if (readable(watched, pipes_[pipe])) read(pipe);
}

void ChildProcess::readToEnd(std::size_t pipe) {
  while (pipes_[pipe] >= 0) read(pipe);
}

bool ChildProcess::readAllBefore(Clock::time_point deadline) {
  bool closedInTime = true;
  while (!pipesClosed()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    std::vector<pollfd> watched;
    addPipes(watched);
    const int ready = left <= 0 ? -1
                                : ::poll(watched.data(), watched.size(),
                                         static_cast<int>(std::min<long long>(left, 1000)));
    if (left <= 0 || (ready < 0 && errno != EINTR)) {
      closedInTime = false;
      break;
    }
    if (ready > 0) readPipes(watched);
  }
  closePipes();
  return closedInTime;
}

void ChildProcess::signal(int signal) {
  if (pid_ <= 0) return;
  if (ownGroup_) ::kill(-pid_, signal);
  ::kill(pid_, signal);
}

int ChildProcess::reap() {
  if (pid_ <= 0) return waitStatus_;
  while (::waitpid(pid_, &waitStatus_, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return waitStatus_;
}

std::optional<int> ChildProcess::reapBefore(Clock::time_point deadline) {
  for (;;) {
    const pid_t ended = ::waitpid(pid_, &waitStatus_, WNOHANG);
    // One no longer there to wait for is taken as ended.
    if (ended == pid_ || (ended < 0 && errno != EINTR)) {
      pid_ = -1;
      return waitStatus_;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Reads what is there; closes the pipe at its end.
void ChildProcess::read(std::size_t pipe) {
  char buffer[4096];
  const ssize_t count = ::read(pipes_[pipe], buffer, sizeof buffer);
  if (count > 0) {
    received_[pipe].append(buffer, static_cast<std::size_t>(count));
  } else if (count == 0 || errno != EINTR) {
    closeOpen(pipes_[pipe]);
  }
}

void ChildProcess::closePipes() {
  for (int& end : pipes_) closeOpen(end);
}
