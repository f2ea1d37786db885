#pragma once

// The board's end of the serial line: the master side of a fresh
// pseudo-terminal, or a real serial device. Either way a non-blocking,
// raw descriptor at 38400 8N1.

#include <string>

namespace velkaro::board {

class BoardLine {
 public:
  BoardLine() = default;
  ~BoardLine();
  BoardLine(const BoardLine&) = delete;
  BoardLine& operator=(const BoardLine&) = delete;

  // Opens a pseudo-terminal. Its slave side (the path the handheld opens)
  // is held open here too, in raw mode, so that the line never hangs up
  // while the handheld closes and reopens it, and bytes are never cooked.
  bool OpenPseudoTerminal(std::string* error);
  // Opens a real serial device with the board's line settings.
  bool OpenDevice(const std::string& path, std::string* error);

  int fd() const { return fd_; }
  // The device path the handheld opens.
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  int slave_fd_ = -1;
  std::string path_;
};

}  // namespace velkaro::board
