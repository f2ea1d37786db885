#pragma once

// The two lines `vlk decode` and `vlk watch` print for each position report,
// so that a board and gpsd can be compared line for line.

#include "link/gps_data.h"

#include <cstdio>

namespace velkaro::vlk {

inline void PrintFixLines(const CGpsData& record) {
  char line[CGpsData::kFixLineSize];
  record.FormatFix(line);
  std::printf("fix %s\nmode %u\n", line, unsigned{record.m_fixMode});
}

}  // namespace velkaro::vlk
