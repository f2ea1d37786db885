#pragma once

// The simulator's command line.

#include "platform/status.h"

#include <optional>
#include <string>

namespace velkaro::board {

struct BoardOptions {
  std::string device;    // a real serial device; empty: open a pseudo-terminal
  std::string track;     // a walk to replay; empty: the built-in demo walk
  double rate_hz = 1.0;  // position reports a second; 0: none at all
  std::string firmware = "1.03";
  std::string serial = "A1B2C3";
  double lock_after_s = 5.0;  // seconds of "Acquiring Satellites" before the 3-D fix
  std::string record;         // file to append the handheld's bytes to
  std::string link;           // also name the line by this symbolic link
  bool nmea = false;          // speak NMEA 0183 instead of the board protocol
  bool announce = false;      // print each demo landmark as the walk arrives there
};

struct ParsedOptions {
  BoardOptions options;
  bool help = false;
  bool version = false;
  Status status;  // Invalid: wrong usage, with the reason
};

ParsedOptions ParseBoardOptions(int argc, const char* const* argv);

// The --help text.
std::string BoardUsage();

}  // namespace velkaro::board
