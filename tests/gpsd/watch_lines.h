#pragma once

// Reading what `vlk watch` prints: a "fix LINE" and a "mode M" line per
// report, and the position as the fix line shows it.

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace velkaro::testing {

// "%.4f N|S %.4f E|W": a position as the fix line shows it.
inline std::string ShownPosition(double lat, double lon) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f %c %.4f %c", std::fabs(lat), lat > 0 ? 'N' : 'S',
                std::fabs(lon), lon > 0 ? 'E' : 'W');
  return text;
}

// The tool's output as (fix line, mode line) pairs.
inline std::vector<std::pair<std::string, std::string>> WatchPairs(const std::string& out) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::istringstream in(out);
  std::string fix, mode;
  while (std::getline(in, fix) && std::getline(in, mode)) pairs.emplace_back(fix, mode);
  return pairs;
}

}  // namespace velkaro::testing
