// The geocode: an affine map from latitude/longitude to plan pixels,
//   x = xLat * lat + xLon * lon + x0,   y = yLat * lat + yLon * lon + y0,
// fitted to the taps by least squares. Centring the sums on the means turns
// the fit into two 2x2 normal-equation systems that share one matrix; they are
// solved by Cramer's rule. Every operation below is in IEEE double and in the
// order written, so a solve gives the same bits on every machine (fused
// multiply-add is off for the whole build).
//
// Longitude jumps from +180 to -180 at the antimeridian, where an affine map
// of the raw numbers cannot fit a plan that straddles it. Where the taps'
// longitudes span more than half the globe they are taken as the shorter
// way round: each unwrapped by whole turns to lie within 180 degrees of the
// points' mean direction. Taps that do not straddle it are used exactly as they are, so
// their geocode keeps its bits.
#include "platform/atomic_file.h"
#include "site/site_projection.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velkaro {
namespace {

// Degrees to radians as the tolerance has always used it (not pi/180 in full).
constexpr double kDegreeToRadian = 0.01746;
constexpr double kToleranceAtEquator = 0.0025;  // degrees
// Near the poles the cosine, and with it the tolerance, goes to 0 (and below
// it, with the degree factor as written): no tap there could ever pass. The
// floor, a hundredth of the equator's, bites only above 89.4 degrees.
constexpr double kToleranceFloor = kToleranceAtEquator / 100.0;

void PutMatrixElement(uint8_t* header, int k, double value) {
  StoreLeDouble(header + MatrixElementOffset(k), value);
}

}  // namespace

std::vector<double> CSiteProjection::UnwrappedLongitudes(const std::vector<_tap>& taps) {
  std::vector<double> lons;
  lons.reserve(taps.size());
  for (const _tap& tap : taps) lons.push_back(double{tap.lon});  // a copy: the field is packed
  if (lons.empty()) return lons;
  const auto [low, high] = std::minmax_element(lons.begin(), lons.end());
  if (!(*high - *low > 180.0)) return lons;  // also when a longitude is not a number
  // The points' mean direction, which a plan of any size sits around.
  double east = 0.0, north = 0.0;
  for (const double lon : lons) {
    east += std::cos(lon * (M_PI / 180.0));
    north += std::sin(lon * (M_PI / 180.0));
  }
  const double reference = std::atan2(north, east) * (180.0 / M_PI);
  for (double& lon : lons) {
    while (lon - reference > 180.0) lon -= 360.0;
    while (reference - lon > 180.0) lon += 360.0;
  }
  return lons;
}

void CSiteProjection::Solve() {
  for (uint32_t i = 0; i < kProjectionMatrixSize; ++i) m_header[kProjectionMatrixOffset + i] = 0;
  // The dump is a diagnostic: without it the solve still completes. It is
  // replaced whole or not at all, and never opened when it is not a file.
  AtomicFile dump_file("debug.txt");
  std::FILE* dump = dump_file.Open() == FileErrorCause::kNone ? dump_file.Stream() : nullptr;

  const std::vector<double> lons = UnwrappedLongitudes(m_taps);
  double sum_lat = 0.0, sum_lon = 0.0, sum_x = 0.0, sum_y = 0.0;
  for (size_t i = 0; i < m_taps.size(); ++i) {
    const _tap& tap = m_taps[i];
    sum_lat += tap.lat;
    sum_lon += lons[i];
    sum_x += static_cast<double>(tap.x);
    sum_y += static_cast<double>(tap.y);
    if (dump) {
      std::fprintf(dump, "%f %f %ld %ld\n", double{tap.lat}, double{tap.lon}, long{tap.x},
                   long{tap.y});
    }
  }

  const double r = 1.0 / static_cast<double>(m_taps.size());
  const double mean_lat = r * sum_lat;
  const double mean_lon = r * sum_lon;
  const double mean_x = r * sum_x;
  const double mean_y = r * sum_y;

  // Each sum pairs one centred value with one raw value.
  double sxa = 0.0, sya = 0.0, saa = 0.0, soa = 0.0;
  double sxo = 0.0, syo = 0.0, sao = 0.0, soo = 0.0;
  for (size_t i = 0; i < m_taps.size(); ++i) {
    const _tap& tap = m_taps[i];
    const double lat = tap.lat;
    const double lon = lons[i];
    const double x = static_cast<double>(tap.x);
    const double y = static_cast<double>(tap.y);
    sxa += (x - mean_x) * lat;
    sya += (y - mean_y) * lat;
    saa += (lat - mean_lat) * lat;
    soa += (lon - mean_lon) * lat;
    sxo += (x - mean_x) * lon;
    syo += (y - mean_y) * lon;
    sao += (lat - mean_lat) * lon;
    soo += (lon - mean_lon) * lon;
  }

  // A zero determinant (taps without spread) gives infinities or NaN here;
  // Validate refuses such a geocode.
  const double d = soo * saa - sao * soa;
  m_xLat = (soo * sxa - sxo * soa) / d;
  m_xLon = (sxo * saa - sao * sxa) / d;
  m_x0 = mean_x - m_xLat * mean_lat - m_xLon * mean_lon;
  m_yLat = (soo * sya - syo * soa) / d;
  m_yLon = (syo * saa - sao * sya) / d;
  m_y0 = mean_y - m_yLat * mean_lat - m_yLon * mean_lon;

  PutMatrixElement(m_header, kMatrixXLat, m_xLat);
  PutMatrixElement(m_header, kMatrixXLon, m_xLon);
  PutMatrixElement(m_header, kMatrixX0, m_x0);
  PutMatrixElement(m_header, kMatrixYLat, m_yLat);
  PutMatrixElement(m_header, kMatrixYLon, m_yLon);
  PutMatrixElement(m_header, kMatrixY0, m_y0);
  for (int k : kMatrixOnes) PutMatrixElement(m_header, k, 1.0);

  if (dump) {
    std::fprintf(dump, "%f %f %f\n", m_xLat, m_xLon, m_x0);
    std::fprintf(dump, "%f %f %f\n", m_yLat, m_yLon, m_y0);
    dump_file.Commit();
  }
}

bool CSiteProjection::Validate() const {
  const double e = m_xLat * m_yLon - m_xLon * m_yLat;
  if (m_taps.empty()) return true;
  const double k = 1.0 / e;
  const std::vector<double> lons = UnwrappedLongitudes(m_taps);
  for (size_t i = 0; i < m_taps.size(); ++i) {
    const _tap& tap = m_taps[i];
    const double x = static_cast<double>(tap.x);
    const double y = static_cast<double>(tap.y);
    // The inverse of the geocode, term by term as it has always been formed.
    const double lat =
        (-(m_x0 * m_yLon) + m_y0 * m_xLon) * k + ((x * m_yLon) * k - (y * m_xLon) * k);
    const double lon = ((m_x0 * m_yLat - m_y0 * m_xLat) * k - (x * m_yLat) * k) + (y * m_xLat) * k;
    // No solve yet, or a singular one, maps nothing back: that is no geocode.
    if (!std::isfinite(lat) || !std::isfinite(lon)) return false;
    if (!WithinTolerance(tap.lat, lat, tap.lat)) return false;
    if (!WithinTolerance(lons[i], lon, tap.lat)) return false;
  }
  return true;
}

bool CSiteProjection::WithinTolerance(double ref, double est, double refLat) {
  const double deviation = std::fabs(est - ref);
  const double tolerance =
      std::max(kToleranceAtEquator * std::cos(refLat * kDegreeToRadian), kToleranceFloor);
  // Written so that a deviation that is not a number fails as well.
  return deviation <= tolerance;
}

}  // namespace velkaro
