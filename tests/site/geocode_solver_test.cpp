// Reference points and the geocode: picking, deleting, solving against a map
// known exactly, validating at the tolerance's edge, and the solve's dump.
#include "tests/site/projection_fixture.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

namespace velkaro {
namespace {

using testing::CurrentDir;
using testing::TempFolder;
using Tap = CSiteProjection::_tap;

std::vector<int32_t> Columns(const std::vector<Tap>& taps) {
  std::vector<int32_t> xs;
  for (const Tap& tap : taps) xs.push_back(int32_t{tap.x});  // a copy: the field is packed
  return xs;
}

// Taps laid exactly on pixels of the known map; the geocode is its inverse.
const std::vector<Tap> TapsOnKnownMap =
    testing::TapsAt({{10, 20}, {200, 30}, {120, 250}, {30, 180}, {230, 240}, {90, 90}});

class SiteProjectionTest : public ::testing::Test {
 protected:
  void AddTaps(const std::vector<Tap>& taps) {
    for (const Tap& tap : taps) projection.m_taps.push_back(tap);
  }
  TempFolder dir;
  CurrentDir here{dir.path()};  // the solve's dump lands in the scratch folder
  testing::Told told;
  CSiteProjection projection;
};

TEST_F(SiteProjectionTest, AddTapTakesTheGivenPositionAndWithoutAJournalSaysNothing) {
  CGpsData fix;
  fix.m_latB = 47.25;
  fix.m_lonB = -122.5;
  EXPECT_TRUE(told(projection.AddTap(12, -3, fix)));
  EXPECT_TRUE(told.shown.empty());
  ASSERT_EQ(projection.m_taps.size(), 1u);
  const Tap want{12, -3, 47.25, -122.5, 0};
  EXPECT_EQ(std::memcmp(&projection.m_taps[0], &want, sizeof want), 0);
}

struct PickCase {
  const char* name;
  std::vector<std::pair<int32_t, int32_t>> taps;
  int32_t px, py;
  int expected_result;
  int32_t expected_selected;  // unchanged start value 99 when nothing is found
};

class FindNearestTap : public SiteProjectionTest, public ::testing::WithParamInterface<PickCase> {};

TEST_P(FindNearestTap, PicksWithinFortyPixelsEarliestOnTies) {
  for (auto [x, y] : GetParam().taps) projection.m_taps.push_back(Tap{x, y, 0.0, 0.0, 0});
  projection.m_selected = 99;
  EXPECT_EQ(projection.FindNearestTap(GetParam().px, GetParam().py), GetParam().expected_result);
  EXPECT_EQ(projection.m_selected, GetParam().expected_selected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindNearestTap,
    ::testing::Values(
        PickCase{"Empty", {}, 0, 0, -1, 99}, PickCase{"ExactlyForty", {{124, 132}}, 100, 100, 0, 0},
        PickCase{"JustBeyond", {{140, 101}}, 100, 100, -1, 99},
        PickCase{"NearestOfThree", {{130, 100}, {105, 100}, {90, 90}}, 100, 100, 0, 1},
        PickCase{"TieGoesToTheEarlier", {{500, 500}, {90, 100}, {110, 100}}, 100, 100, 0, 1},
        PickCase{
            "FarTapsDoNotWrapAround", {{65636, 100}, {INT32_MAX, INT32_MIN}}, 100, 100, -1, 99}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SiteProjectionTest, DeleteSelectedTapKeepsTheOrderOfTheRest) {
  AddTaps({{1, 0, 0, 0, 0}, {2, 0, 0, 0, 0}, {3, 0, 0, 0, 0}, {4, 0, 0, 0, 0}});
  ASSERT_EQ(projection.FindNearestTap(2, 0), 0);
  EXPECT_TRUE(told(projection.DeleteSelectedTap()));
  EXPECT_EQ(Columns(projection.m_taps), (std::vector<int32_t>{1, 3, 4}));
  EXPECT_EQ(told.shown, std::vector<std::string>{"Deleted."});

  projection.m_selected = 3;  // stale: past the end now
  EXPECT_TRUE(told(projection.DeleteSelectedTap()));
  EXPECT_EQ(Columns(projection.m_taps), (std::vector<int32_t>{1, 3, 4}));
  EXPECT_EQ(told.shown.size(), 1u);
  EXPECT_TRUE(told.played.empty());
}

TEST_F(SiteProjectionTest, SolveRecoversAKnownAffineMap) {
  AddTaps(TapsOnKnownMap);
  projection.Solve();
  // Inverse of [[2e-6, 1e-5*-1], [1.4e-5, 1e-6]] (d lat/d x, d lat/d y; ...).
  const double a = 2e-6, b = -1e-5, c = 1.4e-5, d = 1e-6;
  const double det = a * d - b * c;
  const double x_lat = d / det, x_lon = -b / det, y_lat = -c / det, y_lon = a / det;
  EXPECT_NEAR(projection.m_xLat, x_lat, 1e-6 * std::fabs(x_lat));
  EXPECT_NEAR(projection.m_xLon, x_lon, 1e-6 * std::fabs(x_lon));
  EXPECT_NEAR(projection.m_yLat, y_lat, 1e-6 * std::fabs(y_lat));
  EXPECT_NEAR(projection.m_yLon, y_lon, 1e-6 * std::fabs(y_lon));
  // The offsets are large differences of large terms: judge them by the
  // pixels they give back.
  for (const Tap& tap : projection.m_taps) {
    const double x = projection.m_xLat * tap.lat + projection.m_xLon * tap.lon + projection.m_x0;
    const double y = projection.m_yLat * tap.lat + projection.m_yLon * tap.lon + projection.m_y0;
    EXPECT_NEAR(x, tap.x, 1e-3);
    EXPECT_NEAR(y, tap.y, 1e-3);
  }
  EXPECT_TRUE(projection.Validate());

  // One tap moved 0.05 degrees north no longer maps back within tolerance.
  projection.m_taps[2].lat = projection.m_taps[2].lat + 0.05;
  projection.Solve();
  EXPECT_FALSE(projection.Validate());
}

TEST_F(SiteProjectionTest, NoSolveOrASingularSolveIsNeverValid) {
  EXPECT_TRUE(projection.Validate());  // empty list
  AddTaps(TapsOnKnownMap);
  EXPECT_FALSE(projection.Validate());  // coefficients still 0: nothing maps back

  // Five taps taken without moving: zero determinant.
  projection.m_taps.clear();
  for (int i = 0; i < 5; ++i) projection.m_taps.push_back(Tap{10 * i, 5 * i, 45.0, 7.0, 0});
  projection.Solve();
  EXPECT_FALSE(std::isfinite(projection.m_xLat));
  EXPECT_FALSE(projection.Validate());
}

// At the equator the tolerance is exactly the double 0.0025; it shrinks with
// the cosine of the latitude, north or south: about 0.00177 degrees at 45
// and 0.00125 at 60.
TEST(WithinTolerance, HoldsUpToItsEdgeAndShrinksWithTheLatitude) {
  const double past = std::nextafter(0.0025, 1.0);
  const struct {
    double lat, deviation;
    bool within;
  } cases[] = {{0, 0.0025, true},
               {0, -0.0025, true},
               {0, past, false},
               {0, -past, false},
               {45, 0.00176, true},
               {45, 0.00178, false},
               {-45, 0.00176, true},
               {-45, 0.00178, false},
               {60, -0.00124, true},
               {60, -0.00126, false},
               {-60, -0.00124, true},
               {-60, -0.00126, false},
               {0, std::numeric_limits<double>::quiet_NaN(), false}};
  for (const auto& c : cases) {
    EXPECT_EQ(CSiteProjection::WithinTolerance(c.lat, c.lat + c.deviation, c.lat), c.within)
        << c.lat << " " << c.deviation;
  }
}

TEST_F(SiteProjectionTest, SolveDumpsEveryTapThenTheTwoCoefficientRows) {
  AddTaps({{10, 20, 45.5, 7.25, 0},
           {200, 30, 45.5001, 7.2528, 0},
           {120, 250, 45.4977, 7.2519, 0},
           {30, 180, 45.4984, 7.2506, 0},
           {-4, 240, 45.4976, 7.2502, 0}});
  projection.Solve();
  std::ifstream dump("debug.txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(dump, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "45.500000 7.250000 10 20");
  EXPECT_EQ(lines[4], "45.497600 7.250200 -4 240");
  char row[200];
  std::snprintf(row, sizeof row, "%f %f %f", projection.m_xLat, projection.m_xLon, projection.m_x0);
  EXPECT_EQ(lines[5], row);
  std::snprintf(row, sizeof row, "%f %f %f", projection.m_yLat, projection.m_yLon, projection.m_y0);
  EXPECT_EQ(lines[6], row);
}

}  // namespace
}  // namespace velkaro
