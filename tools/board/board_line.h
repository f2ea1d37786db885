#pragma once

// The board's end of the serial line: the master side of a fresh
// pseudo-terminal, or a real serial device. Either way a non-blocking,
// raw descriptor, 8N1 at the board's 38400 baud or NMEA's 4800.

#include <string>

namespace velkaro::board {

class BoardLine {
 public:
  // `baud` is 38400 or 4800. A `shared` pseudo-terminal may be opened by any
  // user: gpsd started by root reads its devices as a user of its own.
  explicit BoardLine(int baud = 38400, bool shared = false) : baud_(baud), shared_(shared) {}
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
  int baud_;
  bool shared_;
  int fd_ = -1;
  int slave_fd_ = -1;
  std::string path_;
};

}  // namespace velkaro::board
