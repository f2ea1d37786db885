// Averaged capture: which fixes count, their mean and spread, a lost lock,
// and the minimum-accuracy gate's texts.
#include "site/fix_average.h"

#include "link/board_message.h"
#include "site/point_fit.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

CGpsData Fix(double lat, double lon, int64_t received_ms, bool locked = true) {
  CGpsData gps;
  gps.m_fixMode = locked ? board::kFixMode3D : 0;
  gps.m_latB = lat;
  gps.m_lonB = lon;
  gps.m_receivedMs = received_ms;
  return gps;
}

TEST(FixAverage, MeansEveryNewLockedFixInTheWindowAndMeasuresTheirSpread) {
  // Tapped at t = 1000 on the fix received at 900; one fix a second.
  FixAverage average(Fix(45.0, 9.0, 900), 1000, 5000);
  const double north = MetresPerDegreeOfLatitude(45.0);
  const double offsets[] = {2.0, -1.0, 3.0, 0.0, 1.0};  // metres north of the first
  for (int i = 0; i < 5; ++i) {
    const CGpsData gps = Fix(45.0 + offsets[i] / north, 9.0, 1900 + 1000 * i);
    EXPECT_EQ(average.Update(gps, gps.m_receivedMs), FixAverage::Progress::kGathering);
    // The same record seen again is not another fix.
    EXPECT_EQ(average.Update(gps, gps.m_receivedMs + 50), FixAverage::Progress::kGathering);
  }
  EXPECT_EQ(average.RemainingMs(5950), 50);
  // Once the window has closed a new fix no longer counts.
  EXPECT_EQ(average.Update(Fix(46.0, 9.0, 6000), 6000), FixAverage::Progress::kDone);
  EXPECT_EQ(average.fixes(), 6);
  EXPECT_EQ(average.RemainingMs(6000), 0);
  const CGpsData mean = average.Mean();
  EXPECT_NEAR((mean.m_latB - 45.0) * north, 5.0 / 6, 1e-6);
  EXPECT_EQ(mean.m_lonB, 9.0);
  EXPECT_EQ(mean.m_receivedMs, 5900);  // the last fix's record
  // Offsets 0, 2, -1, 3, 0, 1 about their mean 5/6: RMS sqrt(15/6 - 25/36) m.
  EXPECT_NEAR(average.SpreadMetres(), std::sqrt(65.0 / 36), 1e-6);
}

TEST(FixAverage, ALostOrStaleLockRefusesTheWholeWindow) {
  FixAverage lost(Fix(45.0, 9.0, 1000), 1000, 5000);
  EXPECT_EQ(lost.Update(Fix(45.0, 9.0, 2000), 2000), FixAverage::Progress::kGathering);
  EXPECT_EQ(lost.Update(Fix(45.0, 9.0, 3000, false), 3000), FixAverage::Progress::kLockLost);
  // Locked again before the window closes: still lost.
  EXPECT_EQ(lost.Update(Fix(45.0, 9.0, 4000), 4000), FixAverage::Progress::kLockLost);
  EXPECT_EQ(lost.Update(Fix(45.0, 9.0, 9000), 9000), FixAverage::Progress::kLockLost);

  FixAverage stale(Fix(45.0, 9.0, 1000), 1000, 5000);
  EXPECT_EQ(stale.Update(Fix(45.0, 9.0, 1000), 4000), FixAverage::Progress::kGathering);
  EXPECT_EQ(stale.Update(Fix(45.0, 9.0, 1000), 4001), FixAverage::Progress::kLockLost);
}

TEST(FixAverage, AveragesAcrossTheAntimeridianTheShortWayRound) {
  FixAverage average(Fix(-17.0, 179.99999, 0), 0, 3000);
  average.Update(Fix(-17.0, -179.99997, 1000), 1000);
  // 179.99999 E and 179.99997 W are 0.00004 degrees apart, not 359.99996.
  EXPECT_NEAR(average.Mean().m_lonB, -179.99999, 1e-9);
}

TEST(AccuracyRefusal, SaysWhatIsWorseOrThatNothingCanBeChecked) {
  CGpsData gps = Fix(45.0, 9.0, 1000);
  EXPECT_EQ(AccuracyRefusal(gps, CGpsData::kUnknown), "");  // no gate
  EXPECT_EQ(AccuracyRefusal(gps, 5.0),
            "The GPS does not report its accuracy, so the minimum accuracy asked for cannot be "
            "checked. Wait for a fix that reports it.");
  gps.hdop = 2.5;
  EXPECT_EQ(AccuracyRefusal(gps, 2.5), "");
  EXPECT_EQ(AccuracyRefusal(gps, 2.0),
            "The GPS HDOP is 2.5, worse than the 2.0 asked for. Wait for a better fix.");
  gps.horizontal_error_m = 7.25;  // an estimate in metres goes before the HDOP
  EXPECT_EQ(AccuracyRefusal(gps, 10.0), "");
  EXPECT_EQ(AccuracyRefusal(gps, 5.0),
            "The GPS accuracy is \u00b17.2 m, worse than the \u00b15.0 m asked for. Wait for a "
            "better fix.");
}

}  // namespace
}  // namespace velkaro
