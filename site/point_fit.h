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
// Points are judged from five on: with fewer, a wrong point and a good one
// bend the fit alike.
inline constexpr size_t kMinPointsToFlag = 5;
// A point is flagged when its standardized residual is more than this many
// times the median of the other points' ...
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
  // From kMinPointsToFlag points on (0 before): the residual on the ground
  // divided by sqrt(1 - h), h the point's leverage, so that the residuals of
  // points at the edge of the walk and in its middle, which the fit bends
  // towards unequally, are alike for the same GPS noise. With few points a
  // wrong point at the edge of the walk bends the fit so far towards itself
  // that it may not stand out; every further point makes it show.
  double standardized_metres = 0.0;
  // How far the point's position lies from where a fit of all the other
  // points puts its pixel, in metres; from kMinPointsToFlag points on, 0
  // before or when the others do not fit. The whole of a wrong point's
  // error, of which its pull on the fit of all hides a part.
  double off_others_metres = 0.0;
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

// Flags at most one point: the one with the largest `standardized_metres`
// (the earliest on a tie), when that is more than kOutlierFactor times the
// median of the other points' (the median of an even count is the mean of
// the middle two) and its `off_others_metres` is more than
// kOutlierFloorMetres. Returns its index, or -1 when none is flagged. Once
// a flagged point is deleted, the next wrong one, if any, stands out.
int FlagOutliers(std::span<PointResidual> points);

// "Point N is M m off the fit of the others." for the worst flagged point: N
// counts from 1 in capture order, M is its `off_others_metres` whole. Empty
// when no point is flagged.
std::string OffTheFitText(const PointFit& fit);

// "RMS 1.2 px 0.6 m" once the points fit; empty before.
std::string RmsText(const PointFit& fit);

// Metres on the WGS 84 ellipsoid per degree of latitude (along the meridian)
// and per degree of longitude (along the parallel) at latitude `lat` degrees.
double MetresPerDegreeOfLatitude(double lat);
double MetresPerDegreeOfLongitude(double lat);

}  // namespace velkaro
