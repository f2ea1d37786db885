#pragma once

// What a GPS receiver speaking NMEA 0183 sends each second, for the
// simulator's --nmea mode: GGA (time, position, fix quality, altitude), GSA
// (fix type, satellites used, dilutions of precision) and RMC (time, status,
// position, speed, course, date), GP talker. Before the fix the position
// fields stay empty, GGA's quality is 0, GSA's fix type 1 and RMC's status
// V; with the fix they read 1, 3 and A. Positions carry seven decimals of
// minutes (as survey-grade receivers send them), finer than the walk's
// milliarcseconds. Plain functions on values; thread-safe.

#include "simulator/board_frames.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velkaro::board {

// The exclusive-or of every character of `body`: the text between '$' and '*'.
uint8_t NmeaChecksum(std::string_view body);

// "$" body "*" checksum in two upper-case hex digits, then CR LF.
std::string NmeaSentence(std::string_view body);

// A latitude or longitude in milliarcseconds as NMEA fields:
// "ddmm.mmmmmmm,N" (or S), "dddmm.mmmmmmm,E" (or W).
std::string NmeaLatitude(int32_t mas);
std::string NmeaLongitude(int32_t mas);

// GGA, GSA, GSV and RMC for one report, in the order receivers send them
// (GSV gives gpsd the satellites in view, which its sky reports count). The
// time of day is the report's, with `centiseconds` (0 to 99) of its second.
std::string NmeaReport(const PositionReport& report, int centiseconds);

}  // namespace velkaro::board
