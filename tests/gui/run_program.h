#pragma once

// Runs a program of the build and collects its output. Plain fork and exec
// rather than QProcess: ThreadSanitizer follows fork, not Qt's clone-based
// spawning.

#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace velkaro::test {

struct ProgramResult {
  int exit_code = -1;  // -1: did not start or did not exit normally
  std::string out;     // standard output and standard error, interleaved
};

inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
  ProgramResult result;
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return result;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], 1);
    dup2(pipe_fds[1], 2);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  if (pid < 0) {
    close(pipe_fds[0]);
    return result;
  }
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) result.out.append(buffer, size_t(n));
  close(pipe_fds[0]);
  int status = 0;
  if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  return result;
}

}  // namespace velkaro::test
