// The fit centres every sum on the means before it multiplies, so that the
// small spread of a site (a few hundred metres, thousandths of a degree) is
// not lost against latitudes of tens of degrees: the normal equations of the
// two coordinates then share one 2x2 matrix of centred position sums, solved
// by Cramer's rule. A determinant that is a vanishing share of what the
// spread alone would give means the positions lie on one line (or in one
// place) as far as doubles can tell; the same test on the fitted linear part
// catches pixels on one line. Either way there is no fit, rather than
// residuals of noise or NaN.
#include "site/point_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <numbers>

namespace velkaro {
namespace {

// Below this share of the undegenerate determinant the points count as
// collinear: far below what a metre's walk off a straight line gives.
constexpr double kDegenerateShare = 1e-10;

// WGS 84, the datum of the positions the receiver reports.
constexpr double kSemiMajorAxis = 6378137.0;  // metres
constexpr double kFlattening = 1.0 / 298.257223563;
constexpr double kEccentricitySquared = kFlattening * (2.0 - kFlattening);
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

bool AllFinite(const Geocode& g) {
  for (double c : {g.xLat, g.xLon, g.x0, g.yLat, g.yLon, g.y0}) {
    if (!std::isfinite(c)) return false;
  }
  return true;
}

// The least-squares coefficients, or false when the points do not fix them.
bool FitCoefficients(std::span<const CSiteProjection::_tap> taps, Geocode& g) {
  const double n = static_cast<double>(taps.size());
  double mean_lat = 0.0, mean_lon = 0.0, mean_x = 0.0, mean_y = 0.0;
  for (const CSiteProjection::_tap& tap : taps) {
    mean_lat += tap.lat;
    mean_lon += tap.lon;
    mean_x += static_cast<double>(tap.x);
    mean_y += static_cast<double>(tap.y);
  }
  mean_lat /= n;
  mean_lon /= n;
  mean_x /= n;
  mean_y /= n;

  double saa = 0.0, soo = 0.0, sao = 0.0, sxa = 0.0, sxo = 0.0, sya = 0.0, syo = 0.0;
  for (const CSiteProjection::_tap& tap : taps) {
    const double a = tap.lat - mean_lat;
    const double o = tap.lon - mean_lon;
    const double x = static_cast<double>(tap.x) - mean_x;
    const double y = static_cast<double>(tap.y) - mean_y;
    saa += a * a;
    soo += o * o;
    sao += a * o;
    sxa += x * a;
    sxo += x * o;
    sya += y * a;
    syo += y * o;
  }
  const double d = saa * soo - sao * sao;
  // Written so that NaN fails too.
  if (!(d > kDegenerateShare * saa * soo)) return false;

  g.xLat = (sxa * soo - sxo * sao) / d;
  g.xLon = (sxo * saa - sxa * sao) / d;
  g.x0 = mean_x - g.xLat * mean_lat - g.xLon * mean_lon;
  g.yLat = (sya * soo - syo * sao) / d;
  g.yLon = (syo * saa - sya * sao) / d;
  g.y0 = mean_y - g.yLat * mean_lat - g.yLon * mean_lon;
  if (!AllFinite(g)) return false;

  const double e = g.xLat * g.yLon - g.xLon * g.yLat;
  return std::fabs(e) > kDegenerateShare * std::hypot(g.xLat, g.xLon) * std::hypot(g.yLat, g.yLon);
}

// Measures `tap` against the fit (g, inverse): the pixel residual formed as
// the reference-point file forms it from a geocode, so the two agree to the
// last bit, and the same residual on the ground. False when either is not a
// finite number.
bool Measure(const Geocode& g, const PixelToDegrees& inverse, const CSiteProjection::_tap& tap,
             PointResidual& p) {
  const double x = tap.x, y = tap.y, lat = tap.lat, lon = tap.lon;
  p.dx = (g.xLat * lat + g.xLon * lon + g.x0) - x;
  p.dy = (g.yLat * lat + g.yLon * lon + g.y0) - y;
  p.pixels = std::sqrt(p.dx * p.dx + p.dy * p.dy);
  const double north = (inverse.d * p.dx + inverse.e * p.dy) * MetresPerDegreeOfLatitude(lat);
  const double east = (inverse.a * p.dx + inverse.b * p.dy) * MetresPerDegreeOfLongitude(lat);
  p.metres = std::hypot(north, east);
  return std::isfinite(p.pixels) && std::isfinite(p.metres);
}

// How far point `skip` lies, in metres, from a fit of all the other points;
// 0 when they do not fit.
double MetresOffOthers(std::span<const CSiteProjection::_tap> taps, size_t skip) {
  std::vector<CSiteProjection::_tap> others(taps.begin(), taps.end());
  others.erase(others.begin() + static_cast<std::ptrdiff_t>(skip));
  Geocode g;
  PixelToDegrees inverse;
  PointResidual r;
  if (!FitCoefficients(others, g) || !InvertGeocode(g, inverse) ||
      !Measure(g, inverse, taps[skip], r))
    return 0.0;
  return r.metres;
}

// Each point's leverage in the fit: the share of its own residual that the
// fit takes up by bending towards it, the same for the column and the row
// since both are fitted on the same positions. A point out at the edge of
// the points has a high one; h = 1/n + (a, o) S^-1 (a, o)' with (a, o) the
// centred position and S the matrix of centred position sums.
std::vector<double> Leverages(std::span<const CSiteProjection::_tap> taps) {
  const double n = static_cast<double>(taps.size());
  double mean_lat = 0.0, mean_lon = 0.0;
  for (const CSiteProjection::_tap& tap : taps) {
    mean_lat += tap.lat;
    mean_lon += tap.lon;
  }
  mean_lat /= n;
  mean_lon /= n;
  double saa = 0.0, soo = 0.0, sao = 0.0;
  for (const CSiteProjection::_tap& tap : taps) {
    const double a = tap.lat - mean_lat, o = tap.lon - mean_lon;
    saa += a * a;
    soo += o * o;
    sao += a * o;
  }
  const double d = saa * soo - sao * sao;
  std::vector<double> h;
  h.reserve(taps.size());
  for (const CSiteProjection::_tap& tap : taps) {
    const double a = tap.lat - mean_lat, o = tap.lon - mean_lon;
    h.push_back(1.0 / n + (a * a * soo - 2.0 * a * o * sao + o * o * saa) / d);
  }
  return h;
}

// The median of `sorted` without its element at `skip`. REQUIRES: at least
// two elements.
double MedianWithout(const std::vector<double>& sorted, size_t skip) {
  const auto at = [&](size_t j) { return sorted[j < skip ? j : j + 1]; };
  const size_t m = sorted.size() - 1;
  return m % 2 == 1 ? at(m / 2) : 0.5 * (at(m / 2 - 1) + at(m / 2));
}

}  // namespace

double MetresPerDegreeOfLatitude(double lat) {
  const double s = std::sin(lat * kRadiansPerDegree);
  const double w = 1.0 - kEccentricitySquared * s * s;
  // The meridian's radius of curvature.
  return kSemiMajorAxis * (1.0 - kEccentricitySquared) / (w * std::sqrt(w)) * kRadiansPerDegree;
}

double MetresPerDegreeOfLongitude(double lat) {
  const double phi = lat * kRadiansPerDegree;
  const double s = std::sin(phi);
  // The radius of the parallel: the prime vertical's radius times cos(lat).
  return kSemiMajorAxis * std::cos(phi) / std::sqrt(1.0 - kEccentricitySquared * s * s) *
         kRadiansPerDegree;
}

int FlagOutliers(std::span<PointResidual> points) {
  // One wrong point pulls the fit and so raises the others' residuals too,
  // the nearest most: only the point that stands out most is a suspect.
  int suspect = -1;
  for (size_t i = 0; i < points.size(); ++i) {
    points[i].flagged = false;
    if (suspect < 0 || points[i].standardized_metres > points[suspect].standardized_metres)
      suspect = static_cast<int>(i);
  }
  if (points.size() < 2) return -1;
  std::vector<double> sorted;
  sorted.reserve(points.size());
  for (const PointResidual& p : points) sorted.push_back(p.standardized_metres);
  std::sort(sorted.begin(), sorted.end());
  PointResidual& p = points[static_cast<size_t>(suspect)];
  // The suspect is the largest, so the others are all but the last.
  const double median = MedianWithout(sorted, sorted.size() - 1);
  p.flagged = p.standardized_metres > kOutlierFactor * median &&
              p.off_others_metres > kOutlierFloorMetres;
  return p.flagged ? suspect : -1;
}

PointFit FitPoints(std::span<const CSiteProjection::_tap> taps) {
  PointFit fit;
  fit.points.resize(taps.size());
  if (taps.size() < kMinPointsToFit) return fit;
  fit.state = PointFitState::kDegenerate;
  Geocode g;
  PixelToDegrees inverse;
  if (!FitCoefficients(taps, g) || !InvertGeocode(g, inverse)) return fit;

  std::vector<PointResidual> points(taps.size());
  double sum_pixels = 0.0, sum_metres = 0.0;
  for (size_t i = 0; i < taps.size(); ++i) {
    PointResidual& p = points[i];
    if (!Measure(g, inverse, taps[i], p)) return fit;
    sum_pixels += p.pixels * p.pixels;
    sum_metres += p.metres * p.metres;
  }
  if (taps.size() >= kMinPointsToFlag) {
    const std::vector<double> h = Leverages(taps);
    for (size_t i = 0; i < taps.size(); ++i) {
      // Below 1 whenever the fit holds without the point; a point the fit
      // needs (h = 1) has no residual and is off nothing.
      if (!(h[i] < 1.0)) continue;
      points[i].standardized_metres = points[i].metres / std::sqrt(1.0 - h[i]);
      if (!std::isfinite(points[i].standardized_metres)) return fit;
      points[i].off_others_metres = MetresOffOthers(taps, i);
    }
  }
  const double n = static_cast<double>(taps.size());
  const double rms_pixels = std::sqrt(sum_pixels / n);
  const double rms_metres = std::sqrt(sum_metres / n);
  if (!std::isfinite(rms_pixels) || !std::isfinite(rms_metres)) return fit;

  fit.state = PointFitState::kFitted;
  fit.geocode = g;
  fit.points = std::move(points);
  fit.rms_pixels = rms_pixels;
  fit.rms_metres = rms_metres;
  fit.worst = FlagOutliers(fit.points);
  return fit;
}

std::string OffTheFitText(const PointFit& fit) {
  if (!fit.fitted() || fit.worst < 0) return {};
  const long metres =
      std::lround(fit.points[static_cast<size_t>(fit.worst)].off_others_metres);
  return "Point " + std::to_string(fit.worst + 1) + " is " + std::to_string(metres) +
         " m off the fit of the others.";
}

std::string RmsText(const PointFit& fit) {
  if (!fit.fitted()) return "";
  char text[64];
  std::snprintf(text, sizeof text, "RMS %.1f px %.1f m", fit.rms_pixels, fit.rms_metres);
  return text;
}

}  // namespace velkaro
