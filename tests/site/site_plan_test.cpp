// The viewport's numbers for the handheld's screen: a 240 x 265 plan in a
// 240 x 268 client area, as the site view sets it up after loading a plan.
#include "site/site_plan.h"

#include <array>
#include <limits>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

// left, top, right, bottom, centre x, centre y, zoom
using ViewNumbers = std::array<int32_t, 7>;

void ExpectView(const CSitePlan& plan, const ViewNumbers& want) {
  EXPECT_EQ((ViewNumbers{plan.m_viewLeft, plan.m_viewTop, plan.m_viewRight, plan.m_viewBottom,
                         plan.GetCenterX(), plan.GetCenterY(), plan.GetZoom()}),
            want);
}

// left, top, right, bottom
using Box = std::array<int32_t, 4>;
Box Of(const PlanRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// The destination and source rectangles for drawing into a 240 x 268 client.
std::pair<Box, Box> Blit(const CSitePlan& plan, PlanRect dest = {0, 0, 240, 268}) {
  PlanRect source{};
  plan.GetBlitRects(dest, source);
  return {Of(dest), Of(source)};
}

class HandheldPlan : public ::testing::Test {
 protected:
  void SetUp() override {
    plan.SetClientRect(0, 0, 240, 268);
    plan.SetPlanSize(0, 0, 240, 265);
    plan.SetView(0, 0, 240, 240);
  }
  CSitePlan plan;
  const PlanRect client{0, 0, 240, 268};
};

TEST_F(HandheldPlan, ZoomInAndOutAroundTheCentre) {
  ExpectView(plan, {0, 0, 240, 240, 120, 120, 1});
  EXPECT_TRUE(plan.ZoomIn());
  ExpectView(plan, {60, 60, 180, 180, 120, 120, 2});
  plan.ZoomOut();
  ExpectView(plan, {0, 0, 240, 240, 120, 120, 1});
  // The plan is 265 high: 50% shows all of it, and no further step is taken.
  ASSERT_TRUE(plan.CanZoomOut());
  plan.ZoomOut();
  ExpectView(plan, {-120, -120, 360, 360, 120, 120, 1});
  EXPECT_EQ(plan.ZoomPercent(), 50);
  EXPECT_FALSE(plan.CanZoomOut());
  plan.ZoomOut();
  ExpectView(plan, {-120, -120, 360, 360, 120, 120, 1});
  // Back in, the 100% square is the one left.
  EXPECT_TRUE(plan.ZoomIn());
  ExpectView(plan, {0, 0, 240, 240, 120, 120, 1});
  EXPECT_EQ(plan.ZoomPercent(), 100);
}

// A plan forty times the client: the whole plan is the first power of two
// of shrink that holds it, centred on it; screen and plan points still map
// both ways through the shrunken view, and a resize keeps the shrink.
TEST(SitePlanBelowFull, TheWholePlanIsShownAtTheShrinkThatHoldsItAndZoomsBackToFull) {
  CSitePlan plan;
  plan.SetClientRect(0, 0, 250, 250);
  plan.SetPlanSize(0, 0, 10000, 6000);
  plan.SetView(0, 0, 250, 250);
  plan.ShowWholePlan();
  EXPECT_EQ(plan.GetShrink(), 64);  // 250 * 32 = 8000 < 10000 <= 16000
  EXPECT_EQ(plan.ZoomPercent(), 1);
  ExpectView(plan, {-3000, -5000, 13000, 11000, 5000, 3000, 1});
  EXPECT_FALSE(plan.CanZoomOut());
  const PlanRect client{0, 0, 250, 250};
  int32_t sx = 0, sy = 0, px = 0, py = 0;
  ASSERT_TRUE(plan.PlanToScreen(client, 9999, 5999, sx, sy));
  plan.ScreenToPlan(client, sx, sy, px, py);
  EXPECT_NEAR(px, 9999, 64);
  EXPECT_NEAR(py, 5999, 64);
  plan.ResizeClient(0, 0, 500, 300);
  EXPECT_EQ(plan.m_viewRight - plan.m_viewLeft, 300 * 64);
  for (int step = 0; step < 6; ++step) EXPECT_TRUE(plan.ZoomIn());
  EXPECT_EQ(plan.ZoomPercent(), 100);
  EXPECT_EQ(plan.m_viewRight - plan.m_viewLeft, 300);
  EXPECT_TRUE(plan.ZoomIn());
  EXPECT_EQ(plan.ZoomPercent(), 200);
}

TEST_F(HandheldPlan, ZoomOutAtThePlanEdgeRefitsTheSquareInsideThePlan) {
  ASSERT_TRUE(plan.ZoomIn());
  plan.SetCenterY(265);  // view 205..325, past the plan's bottom
  plan.ZoomOut();
  // Doubled to 145..265 (clipped), then the 240 square kept on the plan.
  ExpectView(plan, {0, 25, 240, 265, 120, 145, 1});
}

TEST_F(HandheldPlan, ScrollingRightStopsTheCentreAtThePlanEdgeAndBlitNarrows) {
  ASSERT_TRUE(plan.ZoomIn());
  plan.ScrollRight(10);
  ExpectView(plan, {70, 60, 190, 180, 130, 120, 2});
  for (int i = 0; i < 20; ++i) plan.ScrollRight(10);
  ExpectView(plan, {180, 60, 300, 180, 240, 120, 2});

  // 60 of the view's 120 columns lie past the plan: half the client is left.
  EXPECT_EQ(Blit(plan), std::pair(Box{0, 0, 120, 268}, Box{180, 60, 240, 180}));
}

TEST_F(HandheldPlan, BlitRectsWhenTheViewReachesPastTheTopLeft) {
  ASSERT_TRUE(plan.ZoomIn());
  plan.SetCenterX(0);  // view -60..60
  plan.SetCenterY(0);
  // Left 0 - (240 * -60) / 120, top 0 - (268 * -60) / 120; the view stays
  // inside the plan on the right and at the bottom.
  EXPECT_EQ(Blit(plan), std::pair(Box{120, 134, 240, 268}, Box{0, 0, 60, 60}));
}

TEST(SitePlanSmallBitmap, BlitNarrowsBothSidesOfAPlanSmallerThanTheView) {
  // A 100 x 100 bitmap in the 240 x 268 client: the zoom-1 square reaches past
  // the plan, and with the centre at the left edge past both sides.
  CSitePlan plan;
  plan.SetClientRect(0, 0, 240, 268);
  plan.SetPlanSize(0, 0, 100, 100);
  plan.SetView(0, 0, 240, 240);
  plan.SetCenterX(0);  // view -120..120
  // Left 0 - (240 * -120) / 240; the right proportioned on the whole
  // client, so the plan's far corner is drawn where PlanToScreen puts it.
  EXPECT_EQ(Blit(plan), std::pair(Box{120, 0, 240 - (20 * 240) / 240, 268 - (140 * 268) / 240},
                                  Box{0, 0, 100, 100}));
  int32_t sx = 0, sy = 0;
  ASSERT_TRUE(plan.PlanToScreen({0, 0, 240, 268}, 100, 100, sx, sy));
  EXPECT_EQ(sx, 220);
  EXPECT_NEAR(sy, 268 - (140 * 268) / 240, 1);  // each side truncates on its own
}

TEST_F(HandheldPlan, ScrollingClampsTheCentreAtEveryEdge) {
  plan.ScrollLeft(500);
  EXPECT_EQ(plan.GetCenterX(), 0);
  EXPECT_EQ(plan.m_viewLeft, -120);
  plan.ScrollUp(500);
  EXPECT_EQ(plan.GetCenterY(), 0);
  plan.ScrollDown(1000);
  EXPECT_EQ(plan.GetCenterY(), 265);
  EXPECT_EQ(plan.m_viewBottom, 385);
  plan.SetCenterX(-5);
  EXPECT_EQ(plan.GetCenterX(), 0);
  plan.SetCenterX(1000);
  EXPECT_EQ(plan.GetCenterX(), 240);
  plan.SetCenterY(-5);
  EXPECT_EQ(plan.GetCenterY(), 0);
}

TEST_F(HandheldPlan, ScreenAndPlanPointsConvertBothWays) {
  ASSERT_TRUE(plan.ZoomIn());  // 120 plan pixels over 240 x 268 screen pixels
  int32_t px = 0, py = 0;
  plan.ScreenToPlan(client, 100, 134, px, py);
  EXPECT_EQ(px, 60 + (100 * 120) / 240);
  EXPECT_EQ(py, 60 + (134 * 120) / 268);
  int32_t sx = -1, sy = -1;
  ASSERT_TRUE(plan.PlanToScreen(client, 110, 120, sx, sy));
  EXPECT_EQ(sx, 100);
  EXPECT_EQ(sy, 134);
  // Truncation toward zero, not rounding: 1 plan pixel = 2.23 screen rows.
  ASSERT_TRUE(plan.PlanToScreen(client, 61, 61, sx, sy));
  EXPECT_EQ(sx, 2);
  EXPECT_EQ(sy, 2);

  plan.CenterOnScreenPoint(client, 239, 267);
  EXPECT_EQ(plan.GetCenterX(), 60 + (239 * 120) / 240);
  EXPECT_EQ(plan.GetCenterY(), 60 + (267 * 120) / 268);
}

TEST_F(HandheldPlan, VisibilityIsInclusiveOnAllFourEdges) {
  ASSERT_TRUE(plan.ZoomIn());
  for (auto [x, y] : {std::pair{60, 60}, {180, 180}, {60, 180}, {180, 60}}) {
    EXPECT_TRUE(plan.IsVisible(x, y)) << x << "," << y;
  }
  int32_t sx = 7, sy = 7;
  for (auto [x, y] : {std::pair{59, 100}, {181, 100}, {100, 59}, {100, 181}}) {
    EXPECT_FALSE(plan.IsVisible(x, y)) << x << "," << y;
    EXPECT_FALSE(plan.PlanToScreen(client, x, y, sx, sy));
  }
  EXPECT_EQ(sx, 7);  // outputs left unset
  EXPECT_EQ(sy, 7);
}

TEST_F(HandheldPlan, ZoomInStopsBeforeTheViewLosesItsLastPixel) {
  int steps = 0;
  while (plan.ZoomIn()) ++steps;
  EXPECT_GT(steps, 0);
  const PlanRect view = plan.GetView();
  EXPECT_GE(view.right - view.left, 1);
  EXPECT_GE(view.bottom - view.top, 1);
  EXPECT_EQ(plan.GetZoom(), 1 << steps);
  // Every transform still works at the deepest zoom.
  int32_t sx = 0, sy = 0, px = 0, py = 0;
  EXPECT_TRUE(plan.PlanToScreen(client, plan.GetCenterX(), plan.GetCenterY(), sx, sy));
  plan.ScreenToPlan(client, 120, 134, px, py);
  PlanRect dest = client, source{};
  plan.GetBlitRects(dest, source);
}

TEST_F(HandheldPlan, ResizingTheClientKeepsCentreAndZoomAndRefitsTheSquare) {
  plan.SetCenterX(100);
  plan.SetCenterY(130);
  ASSERT_TRUE(plan.ZoomIn());  // view 40..160 x 65..185, zoom 2
  // A 1900 x 1000 window: the square of the shorter side, halved once.
  plan.ResizeClient(0, 0, 1900, 1000);
  ExpectView(plan, {-150, -120, 350, 380, 100, 130, 2});
  EXPECT_EQ(plan.m_client.right, 1900);
  EXPECT_EQ(plan.m_client.bottom, 1000);
  // One plan pixel is zoom screen pixels along the shorter side, both ways
  // round a resize.
  const PlanRect big{0, 0, 1900, 1000};
  int32_t sx = 0, sy = 0;
  ASSERT_TRUE(plan.PlanToScreen(big, 101, 131, sx, sy));
  EXPECT_EQ(sy, 502);
  int32_t px = 0, py = 0;
  plan.ScreenToPlan(big, 950, 500, px, py);
  EXPECT_EQ(px, 100);
  EXPECT_EQ(py, 130);

  // Back to a narrow window; an odd side keeps the centre where it was.
  plan.ResizeClient(0, 0, 301, 500);
  ExpectView(plan, {25, 55, 175, 205, 100, 130, 2});
  // Zooming out at the new size fits the new square.
  plan.ZoomOut();
  EXPECT_EQ(plan.m_viewRight - plan.m_viewLeft, 301);
  EXPECT_EQ(plan.m_viewBottom - plan.m_viewTop, 301);
  EXPECT_EQ(plan.GetZoom(), 1);
}

TEST_F(HandheldPlan, ResizingToAnEmptyClientLeavesTheView) {
  plan.ResizeClient(0, 0, 0, 400);
  ExpectView(plan, {0, 0, 240, 240, 120, 120, 1});
  // A client smaller than the zoom keeps a view of one pixel, never zero.
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(plan.ZoomIn());
  plan.ResizeClient(0, 0, 20, 20);
  EXPECT_EQ(plan.m_viewRight - plan.m_viewLeft, 1);
  EXPECT_EQ(plan.m_viewBottom - plan.m_viewTop, 1);
  int32_t sx = 0, sy = 0;
  EXPECT_TRUE(plan.PlanToScreen({0, 0, 20, 20}, 120, 120, sx, sy));
}

TEST(SitePlanLimits, ZeroSizedClientAndViewNeverDivide) {
  CSitePlan plan;  // as constructed: everything 0
  EXPECT_FALSE(plan.ZoomIn());
  const PlanRect empty{0, 0, 0, 0};
  int32_t px = 3, py = 3, sx = 0, sy = 0;
  plan.ScreenToPlan(empty, 10, 10, px, py);
  EXPECT_EQ(px, 0);
  EXPECT_EQ(py, 0);
  EXPECT_FALSE(plan.PlanToScreen(empty, 0, 0, sx, sy));
  PlanRect dest = empty, source{};
  plan.GetBlitRects(dest, source);
  plan.CenterOnScreenPoint(empty, 5, 5);
  EXPECT_EQ(plan.GetCenterX(), 0);
}

TEST(SitePlanLimits, HugePlanGivesExactQuotientsNotWrappedOnes) {
  // 100000-pixel plan in a 50000-pixel client: the product 99999 * 100000
  // needs more than 32 bits.
  CSitePlan plan;
  plan.SetClientRect(0, 0, 50000, 50000);
  plan.SetPlanSize(0, 0, 100000, 100000);
  plan.SetView(0, 0, 100000, 100000);
  const PlanRect client{0, 0, 50000, 50000};
  int32_t sx = 0, sy = 0;
  ASSERT_TRUE(plan.PlanToScreen(client, 99999, 50000, sx, sy));
  EXPECT_EQ(sx, 49999);
  EXPECT_EQ(sy, 25000);
  int32_t px = 0, py = 0;
  plan.ScreenToPlan(client, 49999, 1, px, py);
  EXPECT_EQ(px, 99998);
  EXPECT_EQ(py, 2);
  plan.SetCenterX(std::numeric_limits<int32_t>::max());
  EXPECT_EQ(plan.GetCenterX(), 100000);
}

}  // namespace
}  // namespace velkaro
