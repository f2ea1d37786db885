#pragma once

// Programs a test starts: each in a process group of its own, with its
// standard streams on files, so that everything it starts in turn (gpsfake
// starts gpsd) stays in that group and the group is ended in every path:
// gpsfake may outlive its log, and gpsd may outlive gpsfake. On it: a
// program run to its end with its output collected, the built vlk, the board
// simulator; then the daemons' ports, and reading back what `vlk watch`
// prints.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace velkaro::testing {

class TempFolder;

// Where a child's standard streams go. Files are created or truncated.
// Initialisers name every field (-Wmissing-field-initializers).
struct ChildStreams {
  std::string in = "/dev/null";   // standard input
  std::string out = "/dev/null";  // standard output
  std::string err;                // standard error; empty: with standard output
  std::filesystem::path dir;      // working folder; empty: this process's
};

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
             const ChildStreams& streams, std::string* error);
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const std::string& out_path, const std::string& err_path, std::string* error) {
    return Start(program, args,
                 ChildStreams{.in = "/dev/null", .out = out_path, .err = err_path, .dir = {}},
                 error);
  }

  // Waits at most `timeout` for the program itself to end; its exit status
  // (-1 for a signal), or none while it runs.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout);

  // Asks the whole group to end (SIGTERM), waits a little, then kills what
  // is left (SIGKILL). Returns the program's exit status: -1 when a signal
  // ended it, when it had to be killed, or when none ran. Idempotent.
  int Stop();
  // Kills the whole group at once, as a crash would.
  void Kill();

 private:
  // Takes the program's exit status once it has ended, waiting for it when
  // `block`.
  void Reap(bool block = false);

  pid_t pid_ = -1;  // also the group's id
  std::optional<int> status_;
};

// A program run to its end.
struct ProgramRun {
  int status = -1;  // exit status; -1: did not start, ended by a signal or ran out of time
  std::string out;  // standard output, and standard error when it was not sent elsewhere
};

// Runs `program` with `args` until it ends, at most `timeout` (then its group
// is killed), and collects its standard output. `streams.out` is ignored.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      ChildStreams streams = {},
                      std::chrono::milliseconds timeout = std::chrono::seconds(60));

// The built vlk with `words` (split at spaces, no shell) in `dir`; its
// standard error goes to stderr.txt in `dir`.
ProgramRun RunVlk(const std::filesystem::path& dir, std::string_view words);

// The board simulator as a child, for end-to-end tests.
class BoardProcess {
 public:
  BoardProcess();
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

  // Ends the board (SIGTERM, then SIGKILL); its exit status, -1 when it had
  // to be killed or did not run.
  int Stop() { return group_.Stop(); }

 private:
  std::unique_ptr<TempFolder> folder_;  // its standard output and error
  ChildGroup group_;
  std::string device_;
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
