// Track loading. Both formats are read leniently line by line or element by
// element: one bad entry is reported and skipped, never fatal.
#include "simulator/track.h"

#include "simulator/board_frames.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace velkaro::board {
namespace {

constexpr std::size_t kMaxTrackBytes = 64u << 20;  // a day at 10 Hz is far less

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

// A whole decimal number, nothing before or after it but white space.
bool ParseNumber(const std::string& text, double* out) {
  const std::string t = Trim(text);
  if (t.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(t.c_str(), &end);
  if (errno != 0 || end != t.c_str() + t.size() || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

// Checks the range and rounds to the board's resolution.
bool MakePoint(double lat, double lon, TrackPoint* out, std::string* why) {
  if (lat < -90.0 || lat > 90.0) {
    *why = "latitude out of range";
    return false;
  }
  if (lon < -180.0 || lon > 180.0) {
    *why = "longitude out of range";
    return false;
  }
  out->lat_mas = DegreesToMas(lat);
  out->lon_mas = DegreesToMas(lon);
  return true;
}

Track ParseCsv(const std::string& text) {
  Track track;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  bool first = true;
  while (std::getline(in, line)) {
    ++number;
    const std::string t = Trim(line);
    if (t.empty() || t[0] == '#') continue;
    const bool header = first && (t == "lat,lon" || t == "latitude,longitude");
    first = false;
    if (header) continue;
    const auto comma = t.find(',');
    double lat = 0, lon = 0;
    std::string why = "expected \"lat,lon\" in decimal degrees";
    TrackPoint point;
    if (comma != std::string::npos && ParseNumber(t.substr(0, comma), &lat) &&
        ParseNumber(t.substr(comma + 1), &lon) && MakePoint(lat, lon, &point, &why)) {
      track.points.push_back(point);
    } else {
      track.errors.push_back("line " + std::to_string(number) + ": " + why);
    }
  }
  return track;
}

// The value of attribute `name` inside one tag's text; either quote.
bool Attribute(const std::string& tag, const std::string& name, std::string* value) {
  for (std::size_t at = tag.find(name); at != std::string::npos; at = tag.find(name, at + 1)) {
    // Must be a whole attribute name: preceded by white space.
    if (at == 0 ||
        (tag[at - 1] != ' ' && tag[at - 1] != '\t' && tag[at - 1] != '\n' && tag[at - 1] != '\r'))
      continue;
    std::size_t p = at + name.size();
    while (p < tag.size() && (tag[p] == ' ' || tag[p] == '\t')) ++p;
    if (p >= tag.size() || tag[p] != '=') continue;
    ++p;
    while (p < tag.size() && (tag[p] == ' ' || tag[p] == '\t')) ++p;
    if (p >= tag.size() || (tag[p] != '"' && tag[p] != '\'')) continue;
    const char quote = tag[p];
    const auto close = tag.find(quote, p + 1);
    if (close == std::string::npos) return false;
    *value = tag.substr(p + 1, close - p - 1);
    return true;
  }
  return false;
}

// Only the <trkpt> start tags matter; everything else in the file (names,
// times, extensions) is passed over.
Track ParseGpx(const std::string& text) {
  Track track;
  int index = 0;
  for (std::size_t at = text.find("<trkpt"); at != std::string::npos;
       at = text.find("<trkpt", at + 1)) {
    ++index;
    const auto close = text.find('>', at);
    const std::string where = "trkpt " + std::to_string(index) + ": ";
    if (close == std::string::npos) {
      track.errors.push_back(where + "unterminated tag");
      break;
    }
    const std::string tag = text.substr(at, close - at);
    std::string lat_text, lon_text, why = "needs numeric lat and lon attributes";
    double lat = 0, lon = 0;
    TrackPoint point;
    if (Attribute(tag, "lat", &lat_text) && Attribute(tag, "lon", &lon_text) &&
        ParseNumber(lat_text, &lat) && ParseNumber(lon_text, &lon) &&
        MakePoint(lat, lon, &point, &why)) {
      track.points.push_back(point);
    } else {
      track.errors.push_back(where + why);
    }
  }
  return track;
}

}  // namespace

Track ParseTrack(const std::string& text) {
  if (text.find("<trkpt") != std::string::npos || text.find("<gpx") != std::string::npos)
    return ParseGpx(text);
  return ParseCsv(text);
}

Track LoadTrackFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Track{{}, {path + ": cannot be read"}};
  std::string text;
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxTrackBytes) return Track{{}, {path + ": too large for a track"}};
  }
  if (in.bad()) return Track{{}, {path + ": cannot be read"}};
  return ParseTrack(text);
}

}  // namespace velkaro::board
