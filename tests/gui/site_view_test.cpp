// The site view on the offscreen platform: drawing, the lock colours (a fix
// that stops arriving is no lock), taps with and without a lock, the
// valid-solution message, holds and scrolling.
#include "simulator/demo_site.h"
#include "tests/support/gui/gui_rig.h"

#include <cstdio>
#include <cstring>

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace velkaro::testing {
namespace {

// The demo site's geocode: plan pixel to position.
double LatOf(int y) { return board::BuiltInDemoSite().Lat(y); }
double LonOf(int x) { return board::BuiltInDemoSite().Lon(x); }

int CountColour(const QImage& image, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += QColor(image.pixel(x, y)) == colour;
  return count;
}

class SiteViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.Start();
    view_ = &rig_.SwitchToSite();
  }

  QImage Shown() {
    return view_->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  int TextHeight() const { return QFontMetrics(CSiteView::BandFont()).height(); }

  // The screen point that shows plan pixel (x, y) now.
  QPoint ScreenOf(int x, int y) {
    int32_t sx = 0, sy = 0;
    EXPECT_TRUE(rig_.plan.PlanToScreen(view_->ClientRect(), x, y, sx, sy));
    return {sx, sy};
  }
  // The plan pixel under a screen point now.
  QPoint PlanOf(const QPoint& screen) {
    int32_t px = 0, py = 0;
    rig_.plan.ScreenToPlan(view_->ClientRect(), screen.x(), screen.y(), px, py);
    return {px, py};
  }
  // Stands the board at plan pixel `at` of the demo geocode, locked.
  void StandAt(const QPoint& at) { rig_.SendGps(true, LatOf(at.y()), LonOf(at.x())); }
  void Tap(const QPoint& screen) {
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, screen);
  }
  void Hold(const QPoint& screen) {
    QTest::mouseClick(view_->viewport(), Qt::RightButton, {}, screen);
  }

  Rig rig_;
  CSiteView* view_ = nullptr;
};

TEST_F(SiteViewTest, WithoutAPlanShowsTheQuickStartPictureOnly) {
  const QImage& quick_start = rig_.draw.Bitmap(137);
  if (quick_start.isNull()) GTEST_SKIP() << "the build carries no quick-start picture";
  const QImage shown = view_->OnDraw();
  QImage expected(shown.size(), QImage::Format_RGB32);
  expected.fill(Qt::white);
  {
    QPainter dc(&expected);
    rig_.draw.DrawBitmap(dc, 137, 0, 0, shown.width(), shown.height() - 20);
  }
  EXPECT_EQ(shown, expected) << "no text rows, points or reticle over the picture";
}

// Without a lock the fix row is red and a tap only says so; with one it is
// green, and red again by itself once the fixes stop for over three seconds.
TEST_F(SiteViewTest, TheFixRowIsRedWithoutALockOrAFreshOneAndATapThenOnlySaysSo) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 400, 300));
  const int th = TextHeight();
  rig_.SendGps(false, 45.5, 9.1);
  QImage shown = Shown();
  EXPECT_EQ(QColor(shown.pixel(1, 1)), QColor(192, 0, 0));
  EXPECT_EQ(QColor(shown.pixel(1, th - 1)), QColor(192, 0, 0));
  // The zoom band starts at th and covers the fix band's last two rows.
  EXPECT_EQ(QColor(shown.pixel(1, th + 1)), QColor(0, 0, 192));
  EXPECT_EQ(QColor(shown.pixel(1, 2 * th - 1)), QColor(0, 0, 192));
  EXPECT_NE(QColor(shown.pixel(1, 2 * th)), QColor(0, 0, 192));

  const int center_x = rig_.plan.GetCenterX();
  Tap({30, 40});
  EXPECT_EQ(rig_.messages.shown,
            std::vector<std::string>{"GPS is not locked. Wait until GPS is locked."});
  EXPECT_TRUE(rig_.waves.played.empty());
  EXPECT_TRUE(rig_.projection.m_taps.empty());
  EXPECT_EQ(rig_.plan.GetCenterX(), center_x);

  rig_.SendGps(true, 45.5, 9.1);
  shown = Shown();
  EXPECT_EQ(QColor(shown.pixel(1, 1)), QColor(0, 192, 0));
  EXPECT_EQ(QColor(shown.pixel(shown.width() - 2, th - 1)), QColor(0, 192, 0));

  rig_.clock.ahead_ms = 20'000;  // the board was unplugged 20 s ago
  EXPECT_EQ(QColor(Shown().pixel(1, 1)), QColor(192, 0, 0));
  rig_.messages.shown.clear();
  Tap({30, 40});
  EXPECT_EQ(rig_.messages.shown,
            std::vector<std::string>{"GPS is not locked. Wait until GPS is locked."});
  EXPECT_TRUE(rig_.projection.m_taps.empty());
  EXPECT_TRUE(rig_.waves.played.empty()) << "no PING for a refused tap";
  rig_.clock.ahead_ms = 0;
  rig_.SendGps(true, 45.5, 9.1);
  Tap({30, 40});
  EXPECT_EQ(rig_.projection.m_taps.size(), 1u) << "a new report is a lock again";
}

// With no report at all the view must still repaint, or the band would stay
// green with the last position: it repaints about once a second while it
// shows a lock, and stops once the band is red.
TEST_F(SiteViewTest, TheViewRepaintsOnItsOwnWhileItShowsALock) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 300, 300));
  PaintCounter counter;
  view_->viewport()->installEventFilter(&counter);
  rig_.SendGps(true, 45.5, 9.1);
  view_->viewport()->repaint();
  counter.paints = 0;
  QTest::qWait(2 * CSiteView::kLockRepaintMs + 500);
  EXPECT_GE(counter.paints, 2);

  rig_.clock.ahead_ms = 20'000;
  QTest::qWait(CSiteView::kLockRepaintMs + 500);  // one more repaint shows red
  counter.paints = 0;
  QTest::qWait(2 * CSiteView::kLockRepaintMs + 500);
  EXPECT_EQ(counter.paints, 0) << "a red band needs no timer";
  view_->viewport()->removeEventFilter(&counter);
}

TEST_F(SiteViewTest, ATapWithALockStoresThePointUnderTheReticle) {
  const std::string plan = rig_.WritePlan("plan.bmp", 720, 540);
  rig_.LoadPlan(plan);
  const QPoint target = PlanOf({50, 60});
  StandAt(target);
  Tap({50, 60});
  ASSERT_EQ(rig_.projection.m_taps.size(), 1u);
  const auto& tap = rig_.projection.m_taps[0];
  EXPECT_EQ(QPoint(int(tap.x), int(tap.y)), target);
  EXPECT_NEAR(double(tap.lat), LatOf(target.y()), 1e-6);
  EXPECT_NEAR(double(tap.lon), LonOf(target.x()), 1e-6);
  EXPECT_EQ(rig_.waves.played, std::vector<std::string>{"PING"});
  EXPECT_EQ(QPoint(rig_.plan.GetCenterX(), rig_.plan.GetCenterY()), target);
  EXPECT_EQ(view_->horizontalScrollBar()->value(), target.x());
  EXPECT_EQ(view_->verticalScrollBar()->value(), target.y());
  // The marker is drawn at the window's centre, where the reticle's white
  // middle lets it through.
  const QImage shown = Shown();
  EXPECT_EQ(QColor(shown.pixel(shown.width() / 2, shown.height() / 2)), QColor(Qt::black));
  EXPECT_TRUE(rig_.messages.shown.empty());
}

// Without a plan a tap stores the empty viewport's centre. Beyond a plan
// smaller than the view no pixel matches the position: the tap is refused
// and stores nothing, where the clamped corner used to be stored.
TEST_F(SiteViewTest, ATapWithoutAPlanStoresTheCentreAndOneBeyondThePlanIsRefused) {
  rig_.SendGps(true, 45.5, 9.1);
  Tap({100, 100});
  rig_.LoadPlan(rig_.WritePlan("small.bmp", 100, 80));
  const PlanRect client = view_->ClientRect();
  const int center_x = rig_.plan.GetCenterX();
  Tap({client.right - 3, client.bottom - 3});
  EXPECT_EQ(rig_.messages.shown, std::vector<std::string>{CSiteView::kBeyondEdgeText});
  ASSERT_EQ(rig_.projection.m_taps.size(), 1u);
  EXPECT_EQ(QPoint(int(rig_.projection.m_taps[0].x), int(rig_.projection.m_taps[0].y)),
            QPoint(0, 0));
  EXPECT_EQ(rig_.waves.played, (std::vector<std::string>{"PING"}));
  EXPECT_EQ(rig_.plan.GetCenterX(), center_x);
  // The plan's last pixel is still on the plan.
  const QPoint last = ScreenOf(99, 79);
  const QPoint under = PlanOf(last);
  EXPECT_LE((under - QPoint(99, 79)).manhattanLength(), 1);
  Tap(last);
  ASSERT_EQ(rig_.projection.m_taps.size(), 2u);
  EXPECT_EQ(QPoint(int(rig_.projection.m_taps[1].x), int(rig_.projection.m_taps[1].y)), under);
}

// A press that moves before its release drags the plan along and stores
// nothing; so does a middle-button drag.
TEST_F(SiteViewTest, APressThatMovesPansInsteadOfCapturing) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 720, 540));
  rig_.plan.SetCenterX(300);
  rig_.plan.SetCenterY(200);
  rig_.SendGps(true, 45.5, 9.1);
  const QPoint start(100, 100);
  const QPoint end = start + QPoint(40, 25);
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton}) {
    const QPoint grabbed = PlanOf(start);
    QTest::mousePress(view_->viewport(), button, {}, start);
    QTest::mouseMove(view_->viewport(), start + QPoint(3, 0));  // within the slop: still a tap
    QTest::mouseMove(view_->viewport(), end);
    QTest::mouseRelease(view_->viewport(), button, {}, end);
    // The pixel pressed stays under the pointer, to the view's rounding.
    EXPECT_LE((PlanOf(end) - grabbed).manhattanLength(), 2) << button;
    EXPECT_NE(PlanOf(end), PlanOf(start)) << button;
  }
  EXPECT_TRUE(rig_.projection.m_taps.empty());
  EXPECT_TRUE(rig_.messages.shown.empty());
  EXPECT_TRUE(rig_.waves.played.empty());
  // A press that stays within the slop is still a capture.
  QTest::mousePress(view_->viewport(), Qt::LeftButton, {}, start);
  QTest::mouseMove(view_->viewport(), start + QPoint(2, 2));
  QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, start + QPoint(2, 2));
  EXPECT_EQ(rig_.projection.m_taps.size(), 1u);
}

TEST_F(SiteViewTest, TheValidSolutionMessageComesFromTheFifthGoodPointOn) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 720, 540));
  const QPoint targets[] = {{20, 30}, {200, 40}, {40, 200}, {180, 190}, {110, 60}, {60, 120}};
  int taps = 0;
  for (const QPoint& target : targets) {
    rig_.plan.SetCenterX(target.x());  // scrolled there: every target on the plan and in view
    rig_.plan.SetCenterY(target.y());
    StandAt(target);
    Tap(ScreenOf(target.x(), target.y()));
    ++taps;
    EXPECT_EQ(rig_.messages.shown,
              std::vector<std::string>(std::max(0, taps - 4),
                                       "You now have a valid geocode solution. Please save file."))
        << "after tap " << taps;
    EXPECT_EQ(QFile::exists(QString::fromStdString(rig_.Path("debug.txt"))), taps >= 5)
        << "every solve rewrites debug.txt; none before the fifth point";
    // Points that agree to a fraction of a pixel draw no residual lines.
    const QImage shown = view_->OnDraw();
    EXPECT_EQ(CountColour(shown, CSiteView::kResidualColor), 0) << "after tap " << taps;
    EXPECT_EQ(CountColour(shown, CSiteView::kFlaggedResidualColor), 0) << "after tap " << taps;
  }
}

// A point far off the fit of the others is named under the designed text.
TEST_F(SiteViewTest, TheValidSolutionMessageNamesAPointFarOffTheOthers) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 720, 540));
  const QPoint targets[] = {{20, 30},  {200, 40}, {40, 200},  {180, 190},
                            {110, 60}, {60, 120}, {300, 250}, {250, 100}};
  for (size_t i = 0; i < std::size(targets); ++i) {
    const QPoint target = targets[i];
    rig_.plan.SetCenterX(target.x());
    rig_.plan.SetCenterY(target.y());
    // The fourth point's position is 60 rows (about 30 m) south of its pixel.
    StandAt(i == 3 ? target + QPoint(0, 60) : target);
    Tap(ScreenOf(target.x(), target.y()));
  }
  ASSERT_EQ(rig_.messages.shown.size(), 4u);
  // With few points the fit bends towards the bad one and spreads its error
  // over the others; with eight it stands out.
  for (const std::string& shown : rig_.messages.shown)
    EXPECT_EQ(shown.rfind("You now have a valid geocode solution. Please save file.", 0), 0u);
  EXPECT_EQ(rig_.messages.shown[0], "You now have a valid geocode solution. Please save file.");
  const std::vector<std::string> lines = testing::Lines(rig_.messages.shown.back());
  ASSERT_EQ(lines.size(), 2u) << rig_.messages.shown.back();
  EXPECT_EQ(lines[0], "You now have a valid geocode solution. Please save file.");
  EXPECT_EQ(lines[1].rfind("Point 4 is ", 0), 0u) << lines[1];
  EXPECT_NE(lines[1].find(" m off the fit of the others."), std::string::npos) << lines[1];

  // On the plan, residual lines from the markers, the flagged one in red;
  // under the view, the RMS the list and vlk solve give too.
  rig_.plan.SetCenterX(180);
  rig_.plan.SetCenterY(190);
  EXPECT_GT(CountColour(view_->OnDraw(), CSiteView::kFlaggedResidualColor), 10);
  rig_.Frame().OnBoardUpdate();
  const std::string status = rig_.Frame().FixStatus().toStdString();
  const std::string rms = RmsText(FitPoints(rig_.projection.m_taps));
  EXPECT_EQ(rms.rfind("RMS ", 0), 0u);
  EXPECT_EQ(status.substr(status.size() - rms.size()), rms) << status;
}

// With an averaging time a tap stores, when the window closes, the mean of
// the fix it was made on and the new ones received meanwhile, at the tapped
// pixel however the plan moved; Escape or a lost lock stores nothing.
TEST_F(SiteViewTest, AnAveragedTapStoresTheMeanOfTheWindowsFixes) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 720, 540));
  view_->SetCaptureOptions({.average_ms = 3000});
  rig_.plan.SetCenterX(300);
  rig_.plan.SetCenterY(300);
  const QPoint target = PlanOf({50, 60});
  const auto wait_for_poll = [] { QTest::qWait(3 * CSiteView::kAveragePollMs); };
  const auto open_window = [&] {
    rig_.plan.SetCenterX(300);
    rig_.plan.SetCenterY(300);
    StandAt(target);
    Tap({50, 60});
    ASSERT_TRUE(view_->Averaging());
  };
  const double lat = LatOf(target.y()), lon = LonOf(target.x());
  open_window();
  EXPECT_EQ(view_->AveragingText(), "averaging: 3.0 s left, 1 fix, spread 0.0 m");
  // The positions as the board's records carry them (whole milliarcseconds).
  double sum_lat = rig_.link.gps.Read().m_latB, sum_lon = rig_.link.gps.Read().m_lonB;
  for (int i = 1; i <= 2; ++i) {
    rig_.clock.ahead_ms += 1000;
    rig_.SendGps(true, lat + i * 1e-5, lon - i * 2e-5);
    sum_lat += rig_.link.gps.Read().m_latB;
    sum_lon += rig_.link.gps.Read().m_lonB;
    wait_for_poll();
  }
  rig_.plan.SetCenterX(100);  // the user looks around meanwhile
  EXPECT_EQ(view_->AveragingText().rfind("averaging: 1.0 s left, 3 fixes, spread ", 0), 0u)
      << view_->AveragingText();
  EXPECT_TRUE(rig_.projection.m_taps.empty());
  rig_.clock.ahead_ms += 1000;
  wait_for_poll();
  EXPECT_FALSE(view_->Averaging());
  ASSERT_EQ(rig_.projection.m_taps.size(), 1u);
  const CSiteProjection::_tap tap = rig_.projection.m_taps[0];
  EXPECT_EQ(QPoint(int(tap.x), int(tap.y)), target);
  EXPECT_NEAR(double(tap.lat), sum_lat / 3, 1e-12);
  EXPECT_NEAR(double(tap.lon), sum_lon / 3, 1e-12);
  const CSiteProjection::Averaging* averaging = rig_.projection.AveragingOf(tap);
  ASSERT_NE(averaging, nullptr);
  EXPECT_EQ(averaging->fixes, 3);
  EXPECT_GT(averaging->spread_m, 1.0);
  EXPECT_NE(ReadText(rig_.projection.PointsPath()).find(",spread,fixes\n"), std::string::npos);

  open_window();
  QTest::keyClick(view_, Qt::Key_Escape);
  EXPECT_FALSE(view_->Averaging());
  open_window();
  rig_.clock.ahead_ms += 1000;
  rig_.SendGps(false, lat, lon);
  wait_for_poll();
  EXPECT_FALSE(view_->Averaging());
  rig_.clock.ahead_ms += 3000;
  wait_for_poll();
  EXPECT_EQ(rig_.projection.m_taps.size(), 1u);
  EXPECT_EQ(rig_.messages.shown, std::vector<std::string>{CSiteView::kNotLockedText});
}

// A minimum accuracy refuses a tap that cannot be shown to meet it.
TEST_F(SiteViewTest, AMinimumAccuracyRefusesAFixThatDoesNotMeetIt) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 720, 540));
  view_->SetCaptureOptions({.min_accuracy = 5.0});
  StandAt({100, 100});  // the simulated record tells no accuracy
  Tap({100, 100});
  EXPECT_TRUE(rig_.projection.m_taps.empty());
  EXPECT_EQ(rig_.messages.shown, std::vector<std::string>{AccuracyRefusal(CGpsData(), 5.0)});
}

// With Space held a left press drags at once; over the plan the status line
// names the pixel under the pointer, and once the points fit its position.
TEST_F(SiteViewTest, SpaceDragsAndThePointerShowsItsPixelAndPosition) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 720, 540));
  rig_.plan.SetCenterX(300);
  rig_.plan.SetCenterY(300);
  StandAt({300, 300});
  QTest::keyPress(view_, Qt::Key_Space);
  QTest::mousePress(view_->viewport(), Qt::LeftButton, {}, {100, 100});
  QTest::mouseMove(view_->viewport(), {102, 100});
  QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, {102, 100});
  QTest::keyRelease(view_, Qt::Key_Space);
  EXPECT_TRUE(rig_.projection.m_taps.empty());
  EXPECT_EQ(rig_.plan.GetCenterX(), 298);

  for (const QPoint centre : {QPoint(100, 100), QPoint(400, 120), QPoint(200, 400)}) {
    rig_.plan.SetCenterX(centre.x());
    rig_.plan.SetCenterY(centre.y());
    const QPoint screen(60, 70);
    StandAt(PlanOf(screen));
    Tap(screen);
  }
  ASSERT_EQ(rig_.projection.m_taps.size(), 3u);
  QTest::mouseMove(view_->viewport(), {80, 90});
  const QPoint over = PlanOf({80, 90});
  char want[96];
  std::snprintf(want, sizeof want, "plan pixel (%d, %d)  %.7f N %.7f E", over.x(), over.y(),
                LatOf(over.y()), LonOf(over.x()));
  EXPECT_EQ(view_->CursorText(), want);
  const std::string status = rig_.Frame().FixStatus().toStdString();
  EXPECT_EQ(status.substr(status.size() - std::strlen(want)), want) << status;
}

// Ctrl+Z takes the last capture back and Ctrl+Shift+Z brings it again.
TEST_F(SiteViewTest, UndoAndRedoKeysStepThroughTheCaptures) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 720, 540));
  for (const QPoint target : {QPoint(100, 100), QPoint(150, 120)}) {
    rig_.plan.SetCenterX(target.x());
    rig_.plan.SetCenterY(target.y());
    StandAt(target);
    Tap(ScreenOf(target.x(), target.y()));
  }
  ASSERT_EQ(rig_.projection.m_taps.size(), 2u);
  rig_.Frame().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&rig_.Frame()));
  QTest::keyClick(view_->viewport(), Qt::Key_Z, Qt::ControlModifier);
  ASSERT_EQ(rig_.projection.m_taps.size(), 1u);
  EXPECT_EQ(int(rig_.projection.m_taps[0].x), 100);
  QTest::keyClick(view_->viewport(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_EQ(rig_.projection.m_taps.size(), 2u);
  EXPECT_EQ(int(rig_.projection.m_taps[1].x), 150);
  EXPECT_TRUE(rig_.messages.shown.empty());
}

TEST_F(SiteViewTest, FivePointsThatGiveNoGeocodeBringNoMessage) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 720, 540));
  // Five captures at one spot: the fit is singular and cannot map back.
  const QPoint centre(view_->viewport()->width() / 2, view_->viewport()->height() / 2);
  for (int i = 0; i < 5; ++i) {
    StandAt(PlanOf(centre));
    Tap(centre);
  }
  EXPECT_EQ(rig_.projection.m_taps.size(), 5u);
  EXPECT_TRUE(rig_.messages.shown.empty());
}

struct HoldCase {
  const char* name;
  int offset;  // plan pixels right of the point
  bool answer_yes;
  bool asked;
  bool deleted;
};

class SiteViewHold : public SiteViewTest, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(SiteViewHold, OffersTheNearestPointWithinFortyPixels) {
  const HoldCase c = GetParam();
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 720, 540));
  ASSERT_LE(view_->viewport()->width(), view_->viewport()->height())
      << "across, one plan pixel is one screen pixel";
  // A row whose plan pixels survive the trip to the screen and back.
  int row = 100;
  while (PlanOf(ScreenOf(60 + c.offset, row)).y() != row) ++row;
  rig_.SendGps(true, 45.5, 9.1);
  for (auto [x, y] : {std::pair{60, row}, {60, row}, {150, 150}})  // equal: the earlier is offered
    ASSERT_TRUE(rig_.projection.AddTap(x, y, rig_.link.gps.Read()).ok());
  rig_.SendGps(false, 45.5, 9.1);  // a hold needs no lock
  rig_.messages.answer_yes = c.answer_yes;
  const QPoint screen = ScreenOf(60 + c.offset, row);
  ASSERT_EQ(PlanOf(screen), QPoint(60 + c.offset, row));
  const int center_x = rig_.plan.GetCenterX();
  // While the question is open, the point it is about is ringed, and only then.
  int ringed_while_asking = 0;
  rig_.messages.while_asking = [&] {
    const QImage shown = Shown();
    ringed_while_asking = CountColour(shown, CSiteView::kHighlightColor);
    // All of the ring is around the first point, the one offered.
    const QRect around(ScreenOf(60, row) - QPoint(20, 20), QSize(41, 41));
    EXPECT_EQ(CountColour(shown.copy(around), CSiteView::kHighlightColor), ringed_while_asking);
  };

  Hold(screen);
  EXPECT_EQ(rig_.messages.asked.size(), c.asked ? 1u : 0u);
  if (c.asked) {
    EXPECT_EQ(rig_.messages.asked[0], "Do you wish to delete this point?");
    EXPECT_GT(ringed_while_asking, 20);
  }
  EXPECT_EQ(CountColour(Shown(), CSiteView::kHighlightColor), 0);
  EXPECT_EQ(rig_.projection.m_taps.size(), c.deleted ? 2u : 3u);
  EXPECT_EQ(rig_.messages.shown,
            c.deleted ? std::vector<std::string>{"Deleted."} : std::vector<std::string>{});
  EXPECT_EQ(int(rig_.projection.m_taps.back().x), 150) << "the later points stay";
  EXPECT_EQ(rig_.plan.GetCenterX(), center_x) << "a hold does not move the plan";
}

INSTANTIATE_TEST_SUITE_P(Cases, SiteViewHold,
                         ::testing::Values(HoldCase{"OnThePointYes", 0, true, true, true},
                                           HoldCase{"OnThePointNo", 0, false, true, false},
                                           HoldCase{"ExactlyFortyAway", -40, true, true, true},
                                           HoldCase{"FortyOneAway", -41, true, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A moved press is a drag now, neither a hold nor a tap (see
// APressThatMovesPansInsteadOfCapturing).
TEST_F(SiteViewTest, ALeftPressHeldStillIsAHoldAndAMovedOneNeither) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 720, 540));
  rig_.SendGps(true, 45.5, 9.1);
  ASSERT_TRUE(rig_.projection.AddTap(60, 100, rig_.link.gps.Read()).ok());
  rig_.SendGps(false, 45.5, 9.1);
  rig_.messages.answer_yes = false;
  const QPoint screen = ScreenOf(60, 100);

  QTest::mousePress(view_->viewport(), Qt::LeftButton, {}, screen);
  QTest::qWait(CSiteView::kHoldMs + 200);
  QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, screen);
  EXPECT_EQ(rig_.messages.asked.size(), 1u);
  EXPECT_TRUE(rig_.messages.shown.empty()) << "the release after a hold is no tap";

  QTest::mousePress(view_->viewport(), Qt::LeftButton, {}, screen);
  QTest::mouseMove(view_->viewport(), screen + QPoint(20, 0));
  QTest::qWait(CSiteView::kHoldMs + 200);
  QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, screen + QPoint(20, 0));
  EXPECT_EQ(rig_.messages.asked.size(), 1u);
  EXPECT_TRUE(rig_.messages.shown.empty()) << "a drag is no tap";
  EXPECT_EQ(rig_.projection.m_taps.size(), 1u);
}

// The zoom row as it should read: white text centred on the blue band.
QImage ExpectedZoomBand(const QString& text, int w, int th) {
  QImage band(w, th, QImage::Format_RGB32);
  band.fill(QColor(0, 0, 192));
  QPainter dc(&band);
  dc.setFont(CSiteView::BandFont());
  dc.setPen(Qt::white);
  dc.drawText(QRect(0, 0, w, th), Qt::AlignCenter, text);
  return band;
}

TEST_F(SiteViewTest, ZoomAndCountShowInTheZoomRowAndZoomChangesThePicture) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 720, 540));
  const int th = TextHeight();
  QImage shown = Shown();
  const int w = shown.width();
  EXPECT_EQ(Rows(shown, th, th), ExpectedZoomBand("ZOOM=100%  REF PTS=0", w, th));
  const QImage plan_part = Rows(shown, 3 * th, 40);

  rig_.Frame().CommandAction(32774)->trigger();
  shown = Shown();
  EXPECT_EQ(Rows(shown, th, th), ExpectedZoomBand("ZOOM=200%  REF PTS=0", w, th));
  EXPECT_NE(Rows(shown, 3 * th, 40), plan_part);

  rig_.SendGps(true, 45.5, 9.1);
  Tap({w / 2, shown.height() / 2});
  EXPECT_EQ(Rows(Shown(), th, th), ExpectedZoomBand("ZOOM=200%  REF PTS=1", w, th));

  rig_.Frame().CommandAction(32775)->trigger();
  EXPECT_EQ(Rows(Shown(), th, th), ExpectedZoomBand("ZOOM=100%  REF PTS=1", w, th));
}

TEST_F(SiteViewTest, ScrollBarsMoveTheCentreByTheDesignedAmounts) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 720, 540));
  QScrollBar* across = view_->horizontalScrollBar();
  QScrollBar* down = view_->verticalScrollBar();
  EXPECT_EQ(across->maximum(), 720);
  EXPECT_EQ(down->maximum(), 540);
  const int x0 = rig_.plan.GetCenterX();
  const int y0 = rig_.plan.GetCenterY();
  EXPECT_EQ(across->value(), x0);
  const QImage before = Shown();

  across->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(rig_.plan.GetCenterX(), x0 + 10);
  EXPECT_EQ(across->value(), x0 + 10);
  across->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(rig_.plan.GetCenterX(), x0 + 10 + view_->viewport()->width());
  down->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(rig_.plan.GetCenterY(), y0 + view_->viewport()->height());
  down->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(rig_.plan.GetCenterY(), y0 + view_->viewport()->height() - 10);
  EXPECT_NE(Shown(), before);

  // Dragging the thumb moves the plan while dragging; releasing does no more.
  across->setSliderDown(true);
  across->setSliderPosition(300);
  EXPECT_EQ(rig_.plan.GetCenterX(), 300);
  across->setSliderDown(false);
  EXPECT_EQ(rig_.plan.GetCenterX(), 300);
  across->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(rig_.plan.GetCenterX(), 300);
  EXPECT_EQ(across->value(), 300);

  // Zooming leaves the thumbs where they were.
  rig_.Frame().CommandAction(32774)->trigger();
  EXPECT_EQ(across->value(), 300);
}

TEST_F(SiteViewTest, TheViewFollowsTheWindowWithoutStretchingThePlan) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 2000, 1500));
  ASSERT_TRUE(view_->PlanLoaded());
  for (auto [bar, value] :
       {std::pair{view_->horizontalScrollBar(), 700}, std::pair{view_->verticalScrollBar(), 600}}) {
    bar->setSliderDown(true);
    bar->setSliderPosition(value);
    bar->setSliderDown(false);
  }
  rig_.Frame().CommandAction(32774)->trigger();
  ASSERT_EQ(rig_.plan.GetZoom(), 2);

  for (const QSize window : {QSize(900, 700), QSize(1900, 1000)}) {
    SCOPED_TRACE(window.width());
    rig_.Frame().resize(window);
    QApplication::processEvents();
    const int w = view_->viewport()->width();
    const int h = view_->viewport()->height();
    ASSERT_GT(w, 600);
    ASSERT_GT(h, 500);
    EXPECT_EQ(rig_.plan.GetCenterX(), 700);
    EXPECT_EQ(rig_.plan.GetCenterY(), 600);
    EXPECT_EQ(rig_.plan.GetZoom(), 2);
    EXPECT_EQ(view_->horizontalScrollBar()->pageStep(), w);
    // Both ways a plan pixel covers exactly `zoom` screen pixels: square.
    EXPECT_EQ(rig_.plan.m_viewRight - rig_.plan.m_viewLeft, w / 2);
    EXPECT_EQ(rig_.plan.m_viewBottom - rig_.plan.m_viewTop, h / 2);
    // The centre pixel is under the reticle.
    const QPoint centre = PlanOf({w / 2, h / 2});
    EXPECT_NEAR(centre.x(), 700, 1);
    EXPECT_NEAR(centre.y(), 600, 1);

    // What is drawn matches: away from the reticle and the bands, the shown
    // colour is the plan pixel the viewport puts there (red = x % 256,
    // green = y % 256), give or take the one-pixel rounding of the blit.
    const QImage shown = Shown();
    for (const QPoint offset : {QPoint(-150, 60), QPoint(110, 90), QPoint(40, -120)}) {
      const QPoint screen = QPoint(w / 2, h / 2) + offset;
      const QPoint at = PlanOf(screen);
      const QColor colour(shown.pixel(screen));
      EXPECT_NEAR(colour.red(), at.x() % 256, 1) << screen.x() << "," << screen.y();
      EXPECT_NEAR(colour.green(), at.y() % 256, 1) << screen.x() << "," << screen.y();
    }
  }
}

}  // namespace
}  // namespace velkaro::testing
