#include "simulator/walker.h"

#include <cmath>

namespace velkaro::board {
namespace {

constexpr double kMetresPerDegree = 111195.0;  // mean, on a sphere
constexpr double kPi = 3.14159265358979323846;

}  // namespace

Walker::Walker(const Track& track, double rate_hz, double lock_after_s)
    : track_(track), rate_hz_(rate_hz), lock_after_s_(lock_after_s) {}

PositionReport Walker::Next(double elapsed_s, std::time_t now) {
  PositionReport r;
  ::gmtime_r(&now, &r.utc);
  const bool locked = elapsed_s >= lock_after_s_;
  const TrackPoint here = track_.points[index_];
  r.lat_mas = here.lat_mas;
  r.lon_mas = here.lon_mas;
  r.msl_cm = 12000;
  r.height_cm = r.msl_cm + 4800;  // the geoid lies about 48 m above the ellipsoid here
  if (!locked) {
    r.fix_mode = kFixAcquiring;
    r.sats_visible = 9;
    r.sats_tracked = 2;
    return r;
  }
  r.fix_mode = kFixMode3D;
  r.sats_visible = 10;
  r.sats_tracked = 8;
  r.dop_tenths = 14;

  // Speed and heading towards the next position, which the next report
  // will carry one period later.
  const std::size_t next = (index_ + 1) % track_.points.size();
  const TrackPoint there = track_.points[next];
  const double lat = here.lat_mas / static_cast<double>(kMasPerDegree);
  const double north =
      (there.lat_mas - here.lat_mas) / static_cast<double>(kMasPerDegree) * kMetresPerDegree;
  const double east = (there.lon_mas - here.lon_mas) / static_cast<double>(kMasPerDegree) *
                      kMetresPerDegree * std::cos(lat * kPi / 180.0);
  const double metres = std::hypot(north, east);
  r.speed_cms = static_cast<uint16_t>(std::fmin(65535.0, std::round(metres * rate_hz_ * 100.0)));
  if (metres > 0) {
    double degrees = std::atan2(east, north) * 180.0 / kPi;
    if (degrees < 0) degrees += 360.0;
    r.heading_ddeg = static_cast<uint16_t>(std::lround(degrees * 10.0) % 3600);
  }
  index_ = next;
  return r;
}

}  // namespace velkaro::board
