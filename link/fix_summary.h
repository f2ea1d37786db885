#pragma once

// The texts of a live fix's quality and of its source, as a status bar shows
// them beside the designed bands: the position to about a centimetre, the
// accuracy, the satellites, the fix's age and where the fixes come from.
// Pure formatting of a record the caller has read; no clock of its own.

#include "link/gps_data.h"

#include <cstdint>
#include <string>

namespace velkaro {

// "45.4978400 N 9.1003840 E": seven decimals, about a centimetre on the
// ground.
std::string PrecisePositionText(const CGpsData& gps);

// "±3.2 m" from a horizontal error estimate, else "HDOP 1.4", else "" when
// the source has said neither.
std::string AccuracyText(const CGpsData& gps);

// The accuracy a minimum-accuracy gate compares: the error estimate in
// metres where there is one, else the HDOP; NaN when neither is known.
// `in_metres` tells which it is.
double AccuracyFigure(const CGpsData& gps, bool* in_metres);

// "7/12 satellites" (used / seen), "7 satellites" when only the used are
// known, "" when neither.
std::string SatellitesText(const CGpsData& gps);

// "fix 0.4 s old", from the record's arrival and `now_ms` on the same clock;
// "no fix yet" for a record never received.
std::string FixAgeText(const CGpsData& gps, int64_t now_ms);

// The whole status line at `now_ms`, parts separated by two spaces: with a
// lock, the precise position, the accuracy, the satellites, the fix's age
// and `source`; without one, "no 3-D fix" in place of the position, the
// accuracy and the satellites, so that nothing stale is shown as live.
std::string FixStatusText(const CGpsData& gps, int64_t now_ms, const std::string& source);

// Where the fixes come from: "board on /dev/ttyUSB0" while the board
// answers, "no board answering on /dev/ttyS0" while it does not.
std::string BoardSourceText(const std::string& port, bool answering);
// "gpsd localhost:2947" while connected, "gpsd not reachable" otherwise.
std::string GpsdSourceText(const std::string& address, bool connected);

}  // namespace velkaro
