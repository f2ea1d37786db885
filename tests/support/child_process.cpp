#include "tests/support/child_process.h"

#include "tests/support/temp_folder.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace velkaro::testing {
namespace {

using Clock = std::chrono::steady_clock;

bool GroupGone(pid_t group) { return ::kill(-group, 0) != 0 && errno == ESRCH; }

int Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

bool ChildGroup::Start(const std::string& program, const std::vector<std::string>& args,
                       const ChildStreams& streams, std::string* error) {
  Stop();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The streams are opened before the working folder changes, so relative
  // paths mean this process's folder.
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, streams.in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, streams.out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (streams.err.empty()) {
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, streams.err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  if (!streams.dir.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, streams.dir.c_str());
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);  // a group of its own, named by its pid

  std::vector<std::string> storage = {program};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  const int rc =
      ::posix_spawnp(&pid_, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) {
    pid_ = -1;
    *error = "cannot start " + program + ": " + std::strerror(rc);
    return false;
  }
  status_.reset();
  return true;
}

void ChildGroup::Reap(bool block) {
  int status = 0;
  if (pid_ > 0 && !status_ && ::waitpid(pid_, &status, block ? 0 : WNOHANG) == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
}

std::optional<int> ChildGroup::WaitExit(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (Reap(); !status_ && pid_ > 0 && Clock::now() < deadline; Reap()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status_;
}

int ChildGroup::Stop() {
  if (pid_ <= 0) return -1;
  // The group lives while any member does, the unreaped program included,
  // so its id cannot have passed to anything else.
  if (!GroupGone(pid_)) ::kill(-pid_, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::seconds(3);
  while (!GroupGone(pid_) && Clock::now() < deadline) {
    Reap();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Kill();
  return status_.value_or(-1);
}

void ChildGroup::Kill() {
  if (pid_ <= 0) return;
  if (!GroupGone(pid_)) ::kill(-pid_, SIGKILL);
  Reap(/*block=*/true);
  pid_ = -1;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      ChildStreams streams, std::chrono::milliseconds timeout) {
  TempFolder folder;
  streams.out = folder.File("out");
  ProgramRun run;
  ChildGroup child;
  std::string error;
  if (!child.Start(program, args, streams, &error)) {
    run.out = error;
    return run;
  }
  run.status = child.WaitExit(timeout).value_or(-1);
  child.Stop();  // what it left running, or itself when it ran out of time
  run.out = ReadText(streams.out);
  return run;
}

ProgramRun RunVlk(const std::filesystem::path& dir, std::string_view words) {
  std::vector<std::string> args;
  for (std::size_t at = 0; at < words.size();) {
    const std::size_t end = std::min(words.find(' ', at), words.size());
    if (end > at) args.emplace_back(words.substr(at, end - at));
    at = end + 1;
  }
  return RunProgram(
      VELKARO_BIN_DIR "/vlk", args,
      {.in = "/dev/null", .out = "", .err = (dir / "stderr.txt").string(), .dir = dir});
}

BoardProcess::BoardProcess() : folder_(std::make_unique<TempFolder>()) {}

BoardProcess::~BoardProcess() { Stop(); }

bool BoardProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds timeout, std::string* error) {
  const std::string out = folder_->File("board.out");
  if (!group_.Start(program, args,
                    {.in = "/dev/null", .out = out, .err = folder_->File("board.err"), .dir = {}},
                    error)) {
    return false;
  }
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    // Whether it had ended before the read, so that a line printed just
    // before the end still counts.
    const bool ended = group_.WaitExit(std::chrono::milliseconds(0)).has_value();
    device_ = FirstLine(out, std::chrono::milliseconds(0));
    if (!device_.empty()) return true;
    if (ended) {
      *error = "the board exited before printing its device path";
      return false;
    }
    if (Clock::now() > deadline) {
      *error = "no device path within the timeout";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string GpsdProgram() {
  const char* path = std::getenv("PATH");
  std::string dirs = std::string(path ? path : "") + ":/usr/sbin";
  for (std::size_t at = 0; at <= dirs.size();) {
    const std::size_t end = std::min(dirs.find(':', at), dirs.size());
    const std::string candidate = dirs.substr(at, end - at) + "/gpsd";
    if (end > at && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    at = end + 1;
  }
  return "gpsd";
}

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

bool WaitListening(int port, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    const int fd = Connect(port);
    if (fd >= 0) {
      ::close(fd);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::string FirstLine(const std::string& path, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const std::string text = ReadText(path);
    const std::size_t end = text.find('\n');
    if (end != std::string::npos) return text.substr(0, end);
    if (Clock::now() > deadline) return "";
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace velkaro::testing
