#pragma once

// How well the reference points agree with each other while they are being
// taken: a least-squares fit of the same affine model as the geocode,
//   x = xLat * lat + xLon * lon + x0,   y = yLat * lat + yLon * lon + y0,
// over the current points, and each point's residual against it. The fit is
// computed apart from the solve that saving runs (it writes no dump and
// touches no header), so it may be redone after every capture or deletion.
//
// Three points fix an affine map exactly, so their residuals are 0: the fit
// says something from the fourth point on.

#include "site/geocode.h"
#include "site/site_projection.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace velkaro {

inline constexpr size_t kMinPointsToFit = 3;
// A point is flagged when its residual on the ground is more than this many
// times the median of the other points' residuals ...
inline constexpr double kOutlierFactor = 3.0;
// ... and more than this many metres: GPS noise alone is a few metres.
inline constexpr double kOutlierFloorMetres = 5.0;

struct PointResidual {
  // Where the fit puts the point's position, minus the point's pixel, in plan
  // pixels (column right, row down). The reference-point file writes the
  // same dx and, since its y grows upwards, -dy.
  double dx = 0.0;
  double dy = 0.0;
  double pixels = 0.0;  // sqrt(dx * dx + dy * dy)
  // The same residual on the ground: (dx, dy) taken back through the inverse
  // of the fit to degrees, then to metres on the WGS 84 ellipsoid at the
  // point's latitude (see MetresPerDegreeOfLatitude). It is how far the
  // point's position lies from where the fit puts its pixel.
  double metres = 0.0;
  bool flagged = false;  // see FlagOutliers
};

enum class PointFitState {
  kFitted,
  kTooFewPoints,  // fewer than kMinPointsToFit points
  // The points do not fix the six coefficients or their inverse: positions
  // or pixels all on one line or in one place, or values that are not finite.
  kDegenerate,
};

struct PointFit {
  PointFitState state = PointFitState::kTooFewPoints;
  Geocode geocode;  // the fitted coefficients; all 0 unless fitted
  // One per point in capture order. Unless fitted, every field is 0 and no
  // point is flagged: never a value that is not a finite number.
  std::vector<PointResidual> points;
  // Root mean square over the points of `pixels` and of `metres`.
  double rms_pixels = 0.0;
  double rms_metres = 0.0;
  // Index of the flagged point with the largest residual in metres (the
  // earliest on a tie); -1 when no point is flagged.
  int worst = -1;

  bool fitted() const { return state == PointFitState::kFitted; }
};

// Fits the taps and measures each one against the fit. Pure: no file, no
// state; the result does not depend on anything but `taps`.
PointFit FitPoints(std::span<const CSiteProjection::_tap> taps);

// Sets `flagged` on every point whose `metres` is more than kOutlierFactor
// times the median of the other points' `metres` and more than
// kOutlierFloorMetres (the median of an even count is the mean of the middle
// two); returns the index of the worst flagged point, or -1.
int FlagOutliers(std::span<PointResidual> points);

// "Point N is M m off the fit of the others." for the worst flagged point: N
// counts from 1 in capture order, M is its residual in whole metres. Empty
// when no point is flagged.
std::string OffTheFitText(const PointFit& fit);

// "RMS 1.2 px 0.6 m" once the points fit; empty before.
std::string RmsText(const PointFit& fit);

// Metres on the WGS 84 ellipsoid per degree of latitude (along the meridian)
// and per degree of longitude (along the parallel) at latitude `lat` degrees.
double MetresPerDegreeOfLatitude(double lat);
double MetresPerDegreeOfLongitude(double lat);

}  // namespace velkaro
