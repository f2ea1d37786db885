// vlk solve TAPS: solves and validates the taps exactly as saving does,
// rewriting "debug.txt" in the current folder, and shows how well the
// points agree with a fit of all of them.
#include "site/point_fit.h"
#include "site/site_projection.h"
#include "tools/vlk/commands.h"
#include "tools/vlk/load_taps.h"

#include <cstdio>
#include <string>

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
  // Each point against a least-squares fit of all of them, as the point list
  // and the reference-point file show it (docs/reference-points.md).
  const PointFit fit = FitPoints(projection.m_taps);
  if (!fit.fitted()) {
    std::printf("no residuals: the points do not fix an affine fit\n");
    return valid ? 0 : 1;
  }
  for (size_t i = 0; i < fit.points.size(); ++i) {
    std::printf("residual %zu %.6f px %.3f m\n", i + 1, fit.points[i].pixels, fit.points[i].metres);
  }
  std::printf("rms %.6f px %.3f m\n", fit.rms_pixels, fit.rms_metres);
  if (const std::string off = OffTheFitText(fit); !off.empty()) std::printf("%s\n", off.c_str());
  return valid ? 0 : 1;
}

}  // namespace velkaro::vlk
