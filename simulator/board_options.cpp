// Command-line parsing for velkaro-board, through getopt_long. Every option
// but the --nmea switch takes exactly one value ("--rate 10" or
// "--rate=10"); values are checked here so the loop never sees a rate or
// delay it cannot use.
#include "simulator/board_options.h"

#include "cli/command_line.h"

#include <array>

namespace velkaro::board {
namespace {

constexpr double kMaxRateHz = 100.0;
constexpr double kMaxLockAfterS = 86400.0;
// Texts travel in one frame each; the handheld keeps at most 236 firmware
// characters and 8 serial-number characters.
constexpr std::size_t kMaxText = 200;

enum Key {
  kDevice = 1,
  kTrack,
  kRate,
  kFirmware,
  kSerial,
  kLockAfter,
  kRecord,
  kLink,
  kNmea,
  kAnnounce
};

constexpr std::array<cli::Option, 12> kOptions = {{
    {"device", required_argument, kDevice, "PATH",
     "use this serial device instead of a pseudo-terminal"},
    {"track", required_argument, kTrack, "FILE",
     "walk to replay: CSV \"lat,lon\" lines or GPX <trkpt>"},
    {"rate", required_argument, kRate, "HZ",
     "position reports a second (default 1, at most 100);\n"
     "0 sends none: the board only answers requests"},
    {"firmware", required_argument, kFirmware, "TEXT", "firmware version to report (default 1.03)"},
    {"serial", required_argument, kSerial, "TEXT", "serial number to report (default A1B2C3)"},
    {"lock-after", required_argument, kLockAfter, "SECONDS", "time until the 3-D fix (default 5)"},
    {"record", required_argument, kRecord, "FILE", "append every byte the handheld sends to FILE"},
    {"link", required_argument, kLink, "PATH",
     "also name the line PATH, a symbolic link (replaced\n"
     "atomically, removed at exit), as /dev/serial/by-id does"},
    {"nmea", no_argument, kNmea, nullptr,
     "speak NMEA 0183 (GGA, GSA, GSV, RMC; GP talker; 4800 baud)\n"
     "instead of the board protocol, for gpsd"},
    {"announce", no_argument, kAnnounce, nullptr,
     "print each landmark of the built-in walk as it arrives\n"
     "there, with the plan pixel to tap and the time it stays"},
    {"help", no_argument, 'h', nullptr, "this text"},
    cli::kVersion,
}};

bool ParseDouble(const char* text, double lo, double hi, double* out) {
  double v = 0.0;
  if (!cli::ParseNumber(text, &v) || v < lo || v > hi) return false;
  *out = v;
  return true;
}

// A text of at most kMaxText bytes. (A zero byte, which would end the text
// on the handheld's side early, cannot come in an argument.)
bool TakeText(const char* text, std::string& field) {
  field = text;
  return field.size() <= kMaxText;
}

// A path option takes any text but an empty one.
bool TakePath(const char* text, std::string& field) {
  field = text;
  return !field.empty();
}

}  // namespace

std::string BoardUsage() {
  return "usage: velkaro-board [options]\n"
         "Simulates the GPS board. Without --device it opens a pseudo-terminal\n"
         "and prints its device path as the first line of standard output.\n" +
         cli::OptionLines(kOptions);
}

ParsedOptions ParseBoardOptions(int argc, const char* const* argv) {
  ParsedOptions parsed;
  BoardOptions& o = parsed.options;
  auto take = [&](const cli::Option& option, const char* value) {
    switch (option.key) {
      case kDevice:
        return TakePath(value, o.device);
      case kTrack:
        return TakePath(value, o.track);
      case kRecord:
        return TakePath(value, o.record);
      case kLink:
        return TakePath(value, o.link);
      case kRate:
        return ParseDouble(value, 0.0, kMaxRateHz, &o.rate_hz);
      case kLockAfter:
        return ParseDouble(value, 0.0, kMaxLockAfterS, &o.lock_after_s);
      case kFirmware:
        return TakeText(value, o.firmware);
      case kSerial:
        return TakeText(value, o.serial);
      case kNmea:
        o.nmea = true;
        return true;
      case kAnnounce:
        o.announce = true;
        return true;
      case 'h':
        parsed.help = true;
        return true;
      case cli::kVersionKey:
        parsed.version = true;
        return true;
    }
    return false;
  };
  // getopt_long leaves the words in place: "+" keeps it from reordering them.
  char* const* words = const_cast<char* const*>(argv);
  int operands = argc;
  const cli::Problem problem = cli::ReadOptions(argc, words, kOptions, take, &operands);
  using Kind = cli::Problem::Kind;
  if (problem.kind == Kind::kUnknown) {
    parsed.status = Status::Invalid("unknown option '" + problem.arg + "'");
  } else if (problem.kind == Kind::kNeedsValue) {
    const std::string name =
        problem.option ? std::string("--") + problem.option->name : problem.arg;
    parsed.status = Status::Invalid(name + " needs a value");
  } else if (problem.kind == Kind::kRefused) {
    parsed.status =
        Status::Invalid("bad value '" + problem.value + "' for --" + problem.option->name);
  } else if (operands < argc) {
    parsed.status = Status::Invalid("unknown option '" + std::string(argv[operands]) + "'");
  }
  return parsed;
}

}  // namespace velkaro::board
