#pragma once

// Shared by the site model's tests and the export tests: a text's lines, and
// a run of the built vlk.
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>
#include <sys/wait.h>

namespace velkaro::testing_support {

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct VlkRun {
  int status;
  std::string out;
};

// Runs the built vlk with `args` (shell words) in `dir`, capturing standard
// output; standard error goes to stderr.txt in `dir`.
inline VlkRun RunVlk(const std::filesystem::path& dir, const std::string& args) {
  const std::string command = "cd '" + dir.string() + "' && '" + std::string(VELKARO_BIN_DIR) +
                              "/vlk' " + args + " 2>stderr.txt";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  VlkRun run{-1, {}};
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    run.out.append(buffer, got);
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

}  // namespace velkaro::testing_support
