#pragma once

// A program the test starts in a process group of its own, with its
// standard output and error in files. Everything it starts in turn (gpsfake
// starts gpsd) stays in that group, and the group is ended in every path:
// gpsfake may outlive its log, and gpsd may outlive gpsfake.

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velkaro::testing {

class ChildGroup {
 public:
  ChildGroup() = default;
  // Ends the group if it still runs.
  ~ChildGroup() { Stop(); }
  ChildGroup(const ChildGroup&) = delete;
  ChildGroup& operator=(const ChildGroup&) = delete;

  // Starts `program` (a path, or a name looked up in PATH) with `args`.
  // False, with the reason in `*error`, when it cannot be started.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const std::string& out_path, const std::string& err_path, std::string* error);

  // Waits at most `timeout` for the program itself to end; its exit status
  // (-1 for a signal), or none while it runs.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout);

  // Asks the whole group to end (SIGTERM), waits a little, then kills what
  // is left (SIGKILL). Idempotent.
  void Stop();
  // Kills the whole group at once, as a crash would.
  void Kill();

  pid_t pid() const { return pid_; }

 private:
  void Reap();

  pid_t pid_ = -1;  // also the group's id
  std::optional<int> status_;
};

// gpsd's program: the first in PATH, else Debian's /usr/sbin/gpsd (outside
// an ordinary user's PATH).
std::string GpsdProgram();

// A TCP port of the loopback interface that nothing listened on a moment ago.
int FreeLoopbackPort();

// Whether something accepts connections on `port` of the loopback interface,
// trying until `timeout` has passed.
bool WaitListening(int port, std::chrono::milliseconds timeout);

// The first line of a file a program is writing (the simulator prints its
// device path first), once it is complete; "" when none is within `timeout`.
std::string FirstLine(const std::string& path, std::chrono::milliseconds timeout);

}  // namespace velkaro::testing
