#pragma once

// An averaged capture: every locked fix received while the user stands at a
// spot for a chosen time, their mean position and how widely they spread.
// One instantaneous fix wanders by metres; the mean of a few seconds of them
// wanders less, and their spread tells the user how much to trust it.
//
// Pure: the caller reads the GPS record and the clock, and feeds both in.

#include "link/gps_data.h"

#include <cstdint>
#include <string>

namespace velkaro {

// How a tap takes its position (`velkaro --average SECONDS --min-accuracy X`).
struct CaptureOptions {
  int64_t average_ms = 0;  // 0: the instantaneous tap
  // The worst accuracy a tap is taken at: metres where the source estimates
  // its error, else HDOP. NaN: any.
  double min_accuracy = CGpsData::kUnknown;
};

// Why a tap on `gps` is refused under `min_accuracy`, or "" when it is not:
// the accuracy is worse, or the source tells none to compare.
std::string AccuracyRefusal(const CGpsData& gps, double min_accuracy);

class FixAverage {
 public:
  enum class Progress {
    kGathering,  // the window is still open
    kDone,       // the window has closed with every fix locked
    kLockLost,   // the lock was lost or went stale: nothing may be stored
  };

  // Opens a window of `window_ms` at `now_ms` with `first`, the locked fix
  // the tap was made on, as its first fix.
  FixAverage(const CGpsData& first, int64_t now_ms, int64_t window_ms);

  // Looks at the newest record at `now_ms`: a fix not seen before is added
  // while the window is open. Once the lock is lost the average stays lost.
  Progress Update(const CGpsData& gps, int64_t now_ms);

  int fixes() const { return fixes_; }
  // Milliseconds until the window closes, 0 once it has.
  int64_t RemainingMs(int64_t now_ms) const;
  // The root mean square of the fixes' distances from their mean, in metres
  // on the ground: 0 for one fix.
  double SpreadMetres() const;
  // The last fix taken, with the mean latitude and longitude (m_latB,
  // m_lonB) at full double precision.
  CGpsData Mean() const;

 private:
  CGpsData first_;
  CGpsData last_;
  int64_t end_ms_;
  int fixes_ = 1;
  // Sums of the fixes' offsets from the first, in degrees (longitude taken
  // the short way round, so a walk across the antimeridian averages right).
  double sum_lat_ = 0.0, sum_lon_ = 0.0;
  double sum_lat2_ = 0.0, sum_lon2_ = 0.0;
  bool lost_ = false;
};

}  // namespace velkaro
