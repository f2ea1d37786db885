// vlk solve TAPS: solves and validates the taps exactly as saving does,
// rewriting "debug.txt" in the current folder, and shows how well the
// geocode reproduces each tap.
#include "site/site_projection.h"
#include "tools/vlk/commands.h"
#include "tools/vlk/load_taps.h"

#include <cmath>
#include <cstdio>

namespace velkaro::vlk {

int CmdSolve(int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: vlk solve TAPS\n");
    return 2;
  }
  CSiteProjection projection;
  if (!LoadTaps(argv[0], projection)) return 1;
  if (projection.m_taps.size() < static_cast<size_t>(CSiteProjection::kMinTapsToSave)) {
    std::fprintf(stderr, "Take at least 5 points.\n");  // the save's own message
    return 1;
  }
  projection.Solve();
  const bool valid = projection.Validate();
  std::printf("%s\n", valid ? "valid" : "invalid");
  for (double c : {projection.m_xLat, projection.m_xLon, projection.m_x0, projection.m_yLat,
                   projection.m_yLon, projection.m_y0}) {
    std::printf("%.17g\n", c);
  }
  // Residual: distance in plan pixels between a tap's pixel and where the
  // geocode puts its position.
  double sum_squares = 0.0;
  int index = 0;
  for (const CSiteProjection::_tap& tap : projection.m_taps) {
    const double x = projection.m_xLat * tap.lat + projection.m_xLon * tap.lon + projection.m_x0;
    const double y = projection.m_yLat * tap.lat + projection.m_yLon * tap.lon + projection.m_y0;
    const double dx = x - static_cast<double>(tap.x);
    const double dy = y - static_cast<double>(tap.y);
    const double squared = dx * dx + dy * dy;
    sum_squares += squared;
    std::printf("residual %d %.6f\n", ++index, std::sqrt(squared));
  }
  std::printf("rms %.6f\n", std::sqrt(sum_squares / static_cast<double>(index)));
  return valid ? 0 : 1;
}

}  // namespace velkaro::vlk
