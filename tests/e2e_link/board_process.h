#pragma once

// The board simulator as a child process, for end-to-end tests.

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velkaro::testing {

class BoardProcess {
 public:
  BoardProcess() = default;
  // Stops the board if it still runs.
  ~BoardProcess();
  BoardProcess(const BoardProcess&) = delete;
  BoardProcess& operator=(const BoardProcess&) = delete;

  // Starts `program` with `args` and reads the first line of its standard
  // output (the device path), waiting at most `timeout`. Returns false, with
  // the reason in `*error`, when it does not start or prints no line.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             std::chrono::milliseconds timeout, std::string* error);

  const std::string& device() const { return device_; }

  // Sends SIGTERM and waits (bounded) for the exit; escalates to SIGKILL.
  // Returns the exit status, or -1 when it had to be killed or did not run.
  int Stop();

 private:
  pid_t pid_ = -1;
  int stdout_fd_ = -1;
  std::string device_;
};

}  // namespace velkaro::testing
