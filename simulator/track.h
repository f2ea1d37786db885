#pragma once

// A walk for the board to replay: positions in whole milliarcseconds, one
// per report. Loaded from CSV ("lat,lon" lines) or GPX (<trkpt lat lon>).

#include <cstdint>
#include <string>
#include <vector>

namespace velkaro::board {

struct TrackPoint {
  int32_t lat_mas = 0;
  int32_t lon_mas = 0;
  bool operator==(const TrackPoint&) const = default;
};

struct Track {
  std::vector<TrackPoint> points;
  // One line per input the loader could not use ("line 7: ..."); the
  // points that did load are kept.
  std::vector<std::string> errors;
};

// Parses track text. Text that holds "<gpx" or "<trkpt" is read as GPX,
// anything else as CSV: one
// "lat,lon" per line in decimal degrees; blank lines, lines starting with
// '#' and a first line "lat,lon" are skipped. Latitudes must lie in
// [-90, 90] and longitudes in [-180, 180].
Track ParseTrack(const std::string& text);

// Reads and parses a file; an unreadable file gives no points and one error.
Track LoadTrackFile(const std::string& path);

}  // namespace velkaro::board
