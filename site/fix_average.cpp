#include "site/fix_average.h"

#include "link/fix_summary.h"
#include "site/point_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velkaro {

namespace {

// `lon` minus `from` in degrees, between -180 and 180.
double LongitudeOffset(double lon, double from) {
  double d = std::fmod(lon - from, 360.0);
  if (d > 180.0) d -= 360.0;
  if (d < -180.0) d += 360.0;
  return d;
}

}  // namespace

std::string AccuracyRefusal(const CGpsData& gps, double min_accuracy) {
  if (std::isnan(min_accuracy)) return "";
  bool in_metres = false;
  const double figure = AccuracyFigure(gps, &in_metres);
  if (std::isnan(figure)) {
    return "The GPS does not report its accuracy, so the minimum accuracy asked for cannot be "
           "checked. Wait for a fix that reports it.";
  }
  if (figure <= min_accuracy) return "";
  char text[160];
  if (in_metres) {
    std::snprintf(text, sizeof text,
                  "The GPS accuracy is \u00b1%.1f m, worse than the \u00b1%.1f m asked for. Wait "
                  "for a better fix.",
                  figure, min_accuracy);
  } else {
    std::snprintf(text, sizeof text,
                  "The GPS HDOP is %.1f, worse than the %.1f asked for. Wait for a better fix.",
                  figure, min_accuracy);
  }
  return text;
}

FixAverage::FixAverage(const CGpsData& first, int64_t now_ms, int64_t window_ms)
    : first_(first), last_(first), end_ms_(now_ms + std::max<int64_t>(window_ms, 0)) {}

FixAverage::Progress FixAverage::Update(const CGpsData& gps, int64_t now_ms) {
  if (lost_) return Progress::kLockLost;
  if (!gps.IsLockedAt(now_ms)) {
    lost_ = true;
    return Progress::kLockLost;
  }
  // A fix that arrives after the window closed belongs to no window.
  const bool open = now_ms < end_ms_;
  if (open && gps.m_receivedMs != last_.m_receivedMs) {
    const double lat = gps.m_latB - first_.m_latB;
    const double lon = LongitudeOffset(gps.m_lonB, first_.m_lonB);
    sum_lat_ += lat;
    sum_lon_ += lon;
    sum_lat2_ += lat * lat;
    sum_lon2_ += lon * lon;
    ++fixes_;
    last_ = gps;
  }
  return open ? Progress::kGathering : Progress::kDone;
}

int64_t FixAverage::RemainingMs(int64_t now_ms) const { return std::max<int64_t>(end_ms_ - now_ms, 0); }

double FixAverage::SpreadMetres() const {
  const double n = fixes_;
  const double mean_lat = sum_lat_ / n, mean_lon = sum_lon_ / n;
  // The first fix is the origin: its offsets are 0 and it counts in n.
  const double var_lat = std::max(sum_lat2_ / n - mean_lat * mean_lat, 0.0);
  const double var_lon = std::max(sum_lon2_ / n - mean_lon * mean_lon, 0.0);
  const double lat = first_.m_latB + mean_lat;
  const double north = MetresPerDegreeOfLatitude(lat), east = MetresPerDegreeOfLongitude(lat);
  return std::sqrt(var_lat * north * north + var_lon * east * east);
}

CGpsData FixAverage::Mean() const {
  CGpsData mean = last_;
  const double n = fixes_;
  mean.m_latB = first_.m_latB + sum_lat_ / n;
  double lon = first_.m_lonB + sum_lon_ / n;
  if (lon > 180.0) lon -= 360.0;
  if (lon < -180.0) lon += 360.0;
  mean.m_lonB = lon;
  return mean;
}

}  // namespace velkaro
