// The points' fit: residuals against a plan laid out in metres, the outlier
// rule, the cases without a fit, and the journal and vlk solve agreeing.
#include "site/point_fit.h"

#include "platform/wave_player.h"
#include "tests/support/child_process.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_folder.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::ReadText;
using testing::TempFolder;
using testing::Lines;
using testing::RunVlk;
using Tap = CSiteProjection::_tap;

// A plan at 45 N, 7 E, `scale` metres a pixel, turned 30 degrees from north;
// degrees from metres with the published WGS 84 lengths of a degree at 45
// degrees (111132 m of latitude, 78847 m of longitude), not the code's own.
struct Plan {
  double scale;
  Tap At(int col, int row) const {
    const double c = std::cos(0.5236), s = std::sin(0.5236);
    const double east = scale * (c * (col - 300) + s * (row - 200));
    const double north = scale * (s * (col - 300) - c * (row - 200));
    return Tap{col, row, 45.0 + north / 111132.0, 7.0 + east / 78847.0, 0};
  }
  // A 3x3 grid whose middle point (the fifth) is the centroid of the others.
  std::vector<Tap> Grid() const {
    std::vector<Tap> taps;
    for (int row : {120, 200, 280})
      for (int col : {180, 300, 420}) taps.push_back(At(col, row));
    return taps;
  }
};

// Moving the middle pixel by d leaves the fit's linear part alone (it sits
// at the centroid) and shifts every fitted pixel by d / 9: its own residual
// is -8/9 d, the others' +1/9 d, exactly. The fit of the other eight is the
// plan itself, so the point is all of d off it.
struct Move {
  double scale;
  int dx, dy;
  bool flagged;
  const char* text;
};

class MovedPoint : public ::testing::TestWithParam<Move> {};

TEST_P(MovedPoint, GetsEightNinthsOfTheMoveAndIsFlaggedAboveTheFloor) {
  const Move m = GetParam();
  std::vector<Tap> taps = Plan{m.scale}.Grid();
  taps[4].x += m.dx;
  taps[4].y += m.dy;
  const PointFit fit = FitPoints(taps);
  ASSERT_TRUE(fit.fitted());
  const double moved = std::hypot(m.dx, m.dy);
  EXPECT_NEAR(fit.points[4].dx, -8.0 / 9 * m.dx, 1e-6);
  EXPECT_NEAR(fit.points[4].dy, -8.0 / 9 * m.dy, 1e-6);
  EXPECT_NEAR(fit.points[4].metres, 8.0 / 9 * moved * m.scale, 1e-3);
  EXPECT_NEAR(fit.points[4].off_others_metres, moved * m.scale, 1e-3);
  EXPECT_NEAR(fit.points[4].standardized_metres, std::sqrt(8.0 / 9) * moved * m.scale, 1e-3);
  for (size_t i : {0, 3, 8}) {
    EXPECT_NEAR(fit.points[i].dx, m.dx / 9.0, 1e-6);
    EXPECT_NEAR(fit.points[i].metres, moved / 9 * m.scale, 1e-3);
    EXPECT_FALSE(fit.points[i].flagged);
  }
  EXPECT_NEAR(fit.rms_pixels, moved * std::sqrt(72.0) / 27, 1e-6);  // (64 + 8) / 81 / 9
  EXPECT_EQ(fit.points[4].flagged, m.flagged);
  EXPECT_EQ(fit.worst, m.flagged ? 4 : -1);
  EXPECT_EQ(OffTheFitText(fit), m.text);
}

INSTANTIATE_TEST_SUITE_P(
    ByMetres, MovedPoint,
    ::testing::Values(Move{0.5, 0, 0, false, ""},  // on the plan: no residual at all
                      Move{2.0, 27, 0, true, "Point 5 is 54 m off the fit of the others."},
                      Move{0.5, -24, 32, true, "Point 5 is 20 m off the fit of the others."},
                      Move{0.25, 0, 27, true, "Point 5 is 7 m off the fit of the others."},
                      Move{0.25, 18, 0, false, ""}));  // 4 m: GPS noise

TEST(PointFit, FlagsAboveThreeMediansOfTheOthersAndNamesTheWorst) {
  // Each point: its standardized residual, and how far off the others.
  const auto flags = [](std::vector<std::array<double, 2>> metres, std::vector<bool> want,
                        int worst) {
    std::vector<PointResidual> points(metres.size());
    for (size_t i = 0; i < metres.size(); ++i) {
      points[i].standardized_metres = metres[i][0];
      points[i].off_others_metres = metres[i][1];
    }
    EXPECT_EQ(FlagOutliers(points), worst);
    for (size_t i = 0; i < points.size(); ++i) EXPECT_EQ(points[i].flagged, want[i]) << i;
  };
  flags({{13, 14}, {4, 5}, {4, 5}, {4, 5}, {4, 5}}, {1, 0, 0, 0, 0}, 0);
  flags({{12, 14}, {4, 5}, {4, 5}, {4, 5}, {4, 5}}, {0, 0, 0, 0, 0}, -1);  // three times, not more
  flags({{5, 5}, {1, 1}, {1, 1}, {1, 1}}, {0, 0, 0, 0}, -1);              // the floor
  flags({{2, 2}, {4, 4}, {8, 8}, {25, 26}, {19, 20}}, {0, 0, 0, 1, 0}, 3);  // median (4 + 8) / 2
  flags({{6, 4}, {1, 9}, {1, 9}, {1, 9}, {1, 9}}, {0, 0, 0, 0, 0}, -1);  // the suspect alone
  flags({{40, 41}, {40, 41}, {1, 1}, {1, 1}, {1, 1}, {1, 1}}, {1, 0, 0, 0, 0, 0}, 0);  // the earliest
}

// The demo walk's six landmarks, exact, with one taken 40 m (80 plan pixels)
// from where its position lies. No good point is ever flagged; a wrong one
// inside the walk is, and named with all its 40 m, though its pull on the
// fit of all six hides much of that in the others' residuals. One at the
// walk's edge bends six points' fit too far to stand out.
TEST(PointFit, FlagsAPointTakenFortyMetresOffInsideTheWalk) {
  const int landmarks[6][2] = {{60, 480}, {120, 300}, {200, 140}, {360, 270}, {600, 90}, {620, 470}};
  for (size_t off = 0; off < 6; ++off) {
    std::vector<Tap> taps;
    for (size_t i = 0; i < 6; ++i) {
      const auto [x, y] = landmarks[i];
      taps.push_back(Tap{x + (i == off ? 80 : 0), y, 45.5 - 0.0000045 * y, 9.1 + 0.0000064 * x, 0});
    }
    const PointFit fit = FitPoints(taps);
    ASSERT_TRUE(fit.fitted());
    const bool inside = off == 1 || off == 3;
    EXPECT_EQ(fit.worst, inside ? static_cast<int>(off) : -1) << off;
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(fit.points[i].flagged, inside && i == off) << off;
    EXPECT_NEAR(fit.points[off].off_others_metres, 40.0, 0.1) << off;
  }
}

TEST(PointFit, NoFitBelowThreeAnExactOneAtThreeAndNoneOnALine) {
  const Plan plan{1.0};
  const std::vector<Tap> three{plan.At(0, 0), plan.At(90, 10), plan.At(20, 70)};
  for (size_t n = 0; n <= 3; ++n) {
    const PointFit fit = FitPoints(std::span(three).first(n));
    EXPECT_EQ(fit.state, n < 3 ? PointFitState::kTooFewPoints : PointFitState::kFitted);
    ASSERT_EQ(fit.points.size(), n);
    for (const PointResidual& p : fit.points) EXPECT_LT(p.pixels + p.metres, 1e-6) << n;
  }
  std::vector<Tap> on_a_road{plan.At(0, 0), plan.At(100, 100), plan.At(200, 200),
                             plan.At(300, 300)};
  std::vector<Tap> pixels_on_a_line = on_a_road, in_one_place = on_a_road, not_a_number = on_a_road;
  for (int i = 0; i < 4; ++i) {
    pixels_on_a_line[i].lat += 1e-4 * (i % 2);  // positions spread, pixels on one line
    on_a_road[i].x += 7 * (i % 2);              // pixels spread, positions on one line
    in_one_place[i].lat = in_one_place[i].lon = 7.0;
  }
  not_a_number[2].lon = NAN;
  for (const auto& taps : {on_a_road, pixels_on_a_line, in_one_place, not_a_number}) {
    const PointFit fit = FitPoints(taps);
    EXPECT_EQ(fit.state, PointFitState::kDegenerate);
    ASSERT_EQ(fit.points.size(), 4u);
    for (const PointResidual& p : fit.points)
      EXPECT_TRUE(p.dx == 0 && p.dy == 0 && p.pixels == 0 && p.metres == 0 && !p.flagged);
    EXPECT_TRUE(fit.rms_pixels == 0 && fit.rms_metres == 0 && OffTheFitText(fit).empty());
  }
}

TEST(MetresPerDegree, MatchesThePublishedWgs84Lengths) {
  // Lengths of a degree in km as geodesy tables give them, to the metre.
  const double table[][3] = {{0, 110.574, 111.320}, {15, 110.649, 107.551}, {30, 110.852, 96.486},
                             {45, 111.132, 78.847}, {60, 111.412, 55.800},  {-75, 111.618, 28.902},
                             {90, 111.694, 0.000}};
  for (const auto& row : table) {
    EXPECT_NEAR(MetresPerDegreeOfLatitude(row[0]), row[1] * 1000, 1.0) << row[0];
    EXPECT_NEAR(MetresPerDegreeOfLongitude(row[0]), row[2] * 1000, 1.0) << row[0];
  }
}

// Nine points a few pixels off the plan, as a walk with a receiver gives
// them, but the fourth, forty pixels off.
std::vector<Tap> Walked() {
  std::vector<Tap> taps;
  const int offsets[][2] = {{2, -1}, {-1, 3}, {0, 2},  {40, -10}, {-3, 0},
                            {1, 1},  {2, 2},  {-2, 1}, {1, -3}};
  for (int i = 0; i < 9; ++i) {
    Tap tap = Plan{1.0}.At(300 + int(250 * std::cos(i * 0.7)), 200 + int(180 * std::sin(i * 0.7)));
    tap.x += offsets[i][0];
    tap.y += offsets[i][1];
    taps.push_back(tap);
  }
  return taps;
}

// The journal's dX, dY, residual columns, row by row.
std::vector<std::array<double, 3>> JournalResiduals(const std::string& path) {
  std::vector<std::array<double, 3>> rows;
  const std::vector<std::string> lines = Lines(ReadText(path));
  for (size_t i = 2; i < lines.size(); ++i) {
    std::array<double, 3>& r = rows.emplace_back();
    EXPECT_EQ(std::sscanf(lines[i].c_str(), "%*f,%*f,%*f,%*f,%*f,%lf,%lf,%lf", &r[0], &r[1], &r[2]),
              3)
        << lines[i];
  }
  return rows;
}

struct Site {
  CSiteProjection projection;
};

// vlk solve prints what the journal holds; after a save's solve and a
// deletion the journal holds the fit of the points left, not the solve's.
TEST(PointFitJournal, AgreesWithVlkSolveAndFollowsADeletion) {
  TempFolder dir;
  testing::CurrentDir here{dir.path()};
  Site site;
  const std::string journal = dir.File("plan.bmp.points");
  EXPECT_TRUE(site.projection.SetPointsPath(journal).messages().empty());
  site.projection.m_taps = Walked();
  ASSERT_EQ(site.projection.WritePoints(journal), FileErrorCause::kNone);
  const std::vector<std::string> lines = Lines(RunVlk(dir.path(), "solve plan.bmp.points").out);
  ASSERT_EQ(lines.size(), 7u + 9u + 1u + 1u);
  const PointFit nine = FitPoints(Walked());
  std::vector<std::array<double, 3>> rows = JournalResiduals(journal);
  ASSERT_EQ(rows.size(), 9u);
  char want[100];
  for (size_t i = 0; i < 9; ++i) {
    std::snprintf(want, sizeof want, "residual %zu %.6f px %.3f m", i + 1, rows[i][2],
                  nine.points[i].metres);
    EXPECT_EQ(lines[7 + i], want);
  }
  std::snprintf(want, sizeof want, "rms %.6f px %.3f m", nine.rms_pixels, nine.rms_metres);
  EXPECT_EQ(lines[16], want);
  EXPECT_EQ(nine.worst, 3);
  EXPECT_EQ(lines[17], OffTheFitText(nine));

  site.projection.Solve();  // a save's geocode, of all nine points
  site.projection.m_selected = 3;
  ASSERT_TRUE(site.projection.DeleteSelectedTap().ok());
  const PointFit eight = FitPoints(site.projection.m_taps);
  rows = JournalResiduals(journal);
  ASSERT_EQ(rows.size(), 8u);
  double sum_squares = 0.0;
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(rows[i][0], eight.points[i].dx) << i;
    EXPECT_EQ(rows[i][1], -eight.points[i].dy) << i;  // the file's y grows upwards
    EXPECT_EQ(rows[i][2], eight.points[i].pixels) << i;
    sum_squares += rows[i][2] * rows[i][2];
  }
  // Not the residuals of the nine points' solve: the outlier's pull is gone.
  EXPECT_LT(std::sqrt(sum_squares / 8), nine.rms_pixels / 3);
}

}  // namespace
}  // namespace velkaro
