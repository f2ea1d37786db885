// Command-line parsing for velkaro-board. Every option but the --nmea
// switch takes exactly one value ("--rate 10" or "--rate=10"); values are
// checked here so the loop never sees a rate or delay it cannot use.
#include "simulator/board_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace velkaro::board {
namespace {

constexpr double kMaxRateHz = 100.0;
constexpr double kMaxLockAfterS = 86400.0;
// Texts travel in one frame each; the handheld keeps at most 236 firmware
// characters and 8 serial-number characters.
constexpr std::size_t kMaxText = 200;

bool ParseDouble(const std::string& text, double lo, double hi, double* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v) || v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool CheckText(const std::string& text) {
  if (text.size() > kMaxText) return false;
  // A zero byte would end the text on the handheld's side early.
  return text.find('\0') == std::string::npos;
}

}  // namespace

std::string BoardUsage() {
  return "usage: velkaro-board [options]\n"
         "Simulates the GPS board. Without --device it opens a pseudo-terminal\n"
         "and prints its device path as the first line of standard output.\n"
         "  --device PATH        use this serial device instead of a pseudo-terminal\n"
         "  --track FILE         walk to replay: CSV \"lat,lon\" lines or GPX <trkpt>\n"
         "  --rate HZ            position reports a second (default 1, at most 100);\n"
         "                       0 sends none: the board only answers requests\n"
         "  --firmware TEXT      firmware version to report (default 1.03)\n"
         "  --serial TEXT        serial number to report (default A1B2C3)\n"
         "  --lock-after SECONDS time until the 3-D fix (default 5)\n"
         "  --record FILE        append every byte the handheld sends to FILE\n"
         "  --link PATH          also name the line PATH, a symbolic link (replaced\n"
         "                       atomically, removed at exit), as /dev/serial/by-id does\n"
         "  --nmea               speak NMEA 0183 (GGA, GSA, GSV, RMC; GP talker; 4800 baud)\n"
         "                       instead of the board protocol, for gpsd\n"
         "  --help               this text\n";
}

ParsedOptions ParseBoardOptions(int argc, const char* const* argv) {
  ParsedOptions parsed;
  BoardOptions& o = parsed.options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
      continue;
    }
    if (arg == "--nmea") {
      parsed.options.nmea = true;
      continue;
    }
    std::string value;
    const auto eq = arg.find('=');
    bool have_value = false;
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      have_value = true;
    }
    const bool known = arg == "--device" || arg == "--track" || arg == "--rate" ||
                       arg == "--firmware" || arg == "--serial" || arg == "--lock-after" ||
                       arg == "--record" || arg == "--link";
    if (!known) {
      parsed.status = Status::Invalid("unknown option '" + std::string(argv[i]) + "'");
      return parsed;
    }
    if (!have_value) {
      if (i + 1 >= argc) {
        parsed.status = Status::Invalid(arg + " needs a value");
        return parsed;
      }
      value = argv[++i];
    }
    // A path option takes any text but an empty one.
    auto path = [&value](std::string& field) {
      field = value;
      return !value.empty();
    };
    bool ok = true;
    if (arg == "--device") {
      ok = path(o.device);
    } else if (arg == "--track") {
      ok = path(o.track);
    } else if (arg == "--record") {
      ok = path(o.record);
    } else if (arg == "--link") {
      ok = path(o.link);
    } else if (arg == "--rate") {
      ok = ParseDouble(value, 0.0, kMaxRateHz, &o.rate_hz);
    } else if (arg == "--lock-after") {
      ok = ParseDouble(value, 0.0, kMaxLockAfterS, &o.lock_after_s);
    } else if (arg == "--firmware") {
      ok = CheckText(value);
      o.firmware = value;
    } else if (arg == "--serial") {
      ok = CheckText(value);
      o.serial = value;
    }
    if (!ok) {
      parsed.status = Status::Invalid("bad value '" + value + "' for " + arg);
      return parsed;
    }
  }
  return parsed;
}

}  // namespace velkaro::board
