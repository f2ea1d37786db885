#pragma once

// A program the test starts in a process group of its own, with its
// standard output and error in files. Everything it starts in turn (gpsfake
// starts gpsd) stays in that group, and the group is ended in every path:
// gpsfake may outlive its log, and gpsd may outlive gpsfake. Then the
// daemons' ports, and reading back what `vlk watch` prints.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <utility>
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
  // Takes the program's exit status once it has ended, waiting for it when
  // `block`.
  void Reap(bool block = false);

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

// "%.4f N|S %.4f E|W": a position as the fix line shows it.
inline std::string ShownPosition(double lat, double lon) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f %c %.4f %c", std::fabs(lat), lat > 0 ? 'N' : 'S',
                std::fabs(lon), lon > 0 ? 'E' : 'W');
  return text;
}

// What `vlk watch` prints, a "fix LINE" and a "mode M" line per report, as
// (fix line, mode line) pairs.
inline std::vector<std::pair<std::string, std::string>> WatchPairs(const std::string& out) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::istringstream in(out);
  std::string fix, mode;
  while (std::getline(in, fix) && std::getline(in, mode)) pairs.emplace_back(fix, mode);
  return pairs;
}

}  // namespace velkaro::testing
