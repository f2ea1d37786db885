// Plans where longitude wraps or the tolerance vanishes: across the
// antimeridian the taps are solved the shorter way round, and at the poles
// the tolerance keeps a floor; everywhere else nothing changes.
#include "tests/site/projection_fixture.h"

#include <cmath>
#include <cstring>

namespace velkaro {
namespace {

using testing::CurrentDir;
using testing::TempFolder;
using Tap = CSiteProjection::_tap;

// Taps on a north-up plan of about 2 km around `lon0`, with their longitudes
// given as a receiver reports them: always within -180..180.
std::vector<Tap> TapsAround(double lat0, double lon0) {
  const int32_t pixels[][2] = {{10, 20}, {200, 30}, {120, 250}, {30, 180}, {230, 240}, {90, 90}};
  std::vector<Tap> taps;
  for (const auto& p : pixels) {
    double lon = lon0 + (p[0] - 128) * 1e-4;
    if (lon > 180.0) lon -= 360.0;
    if (lon < -180.0) lon += 360.0;
    taps.push_back(Tap{p[0], p[1], lat0 - (p[1] - 128) * 1e-4, lon, 0});
  }
  return taps;
}

class WrappedPlan : public ::testing::Test {
 protected:
  TempFolder dir;
  CurrentDir here{dir.path()};
  CSiteProjection projection;
};

TEST_F(WrappedPlan, APlanAcrossTheAntimeridianSolvesAndValidates) {
  projection.m_taps = TapsAround(-16.5, 180.0);  // Fiji: some taps east of it, some west
  ASSERT_GT(double{projection.m_taps[0].lon}, 179.0);  // copies: the field is packed
  ASSERT_LT(double{projection.m_taps[1].lon}, -179.0);
  projection.Solve();
  EXPECT_TRUE(projection.Validate());
  // 10 000 pixels a degree, east to the right and north up.
  EXPECT_NEAR(projection.m_xLon, 1e4, 1e-3);
  EXPECT_NEAR(projection.m_yLat, -1e4, 1e-3);
  EXPECT_NEAR(projection.m_xLat, 0.0, 1e-3);
  EXPECT_NEAR(projection.m_yLon, 0.0, 1e-3);
}

TEST_F(WrappedPlan, PlansThatDoNotCrossItKeepTheirLongitudesToTheBit) {
  for (const double lon0 : {0.0, 179.97, -179.97, -117.5}) {
    const std::vector<Tap> taps = TapsAround(34.0, lon0);
    const std::vector<double> lons = CSiteProjection::UnwrappedLongitudes(taps);
    ASSERT_EQ(lons.size(), taps.size());
    for (size_t i = 0; i < taps.size(); ++i) {
      const double raw = taps[i].lon;
      EXPECT_EQ(std::memcmp(&lons[i], &raw, sizeof raw), 0) << lon0 << " tap " << i;
    }
  }
  // Across it, every longitude lies within 180 degrees of the others.
  const std::vector<double> lons = CSiteProjection::UnwrappedLongitudes(TapsAround(0.0, 180.0));
  for (const double lon : lons) EXPECT_NEAR(lon, 180.0, 0.02);
}

TEST(WithinToleranceAtThePoles, KeepsAFloorWhereTheCosineVanishes) {
  // At 90 degrees the tolerance as designed is 0 or below: nothing passed.
  EXPECT_TRUE(CSiteProjection::WithinTolerance(90.0, 90.0 - 1e-5, 90.0));
  EXPECT_TRUE(CSiteProjection::WithinTolerance(-90.0, -90.0 + 2.5e-5, -90.0));
  EXPECT_FALSE(CSiteProjection::WithinTolerance(90.0, 90.0 - 3e-5, 90.0));
  // Elsewhere the designed tolerance stands: 45 degrees is well above the floor.
  const double at45 = 0.0025 * std::cos(45.0 * 0.01746);
  EXPECT_TRUE(CSiteProjection::WithinTolerance(45.0, 45.0 + at45, 45.0));
  EXPECT_FALSE(CSiteProjection::WithinTolerance(45.0, std::nextafter(45.0 + at45, 90.0), 45.0));
}

}  // namespace
}  // namespace velkaro
