// A fix that stops arriving is not a lock: the band turns red by itself and
// a tap stores nothing, with the clock driven past the three seconds.
#include "link/gps_data.h"
#include "tests/support/gui/gui_rig.h"

#include <QEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace velkaro::testing {
namespace {

class StaleFixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.Start();
    view_ = &rig_.SwitchToSite();
    rig_.LoadPlan(rig_.WritePlan("plan.bmp", 300, 300));
    ASSERT_TRUE(view_->PlanLoaded());
  }
  QColor Band() {
    const QImage shown = view_->viewport()->grab().toImage();
    return QColor(shown.pixel(1, 1));
  }

  Rig rig_;
  CSiteView* view_ = nullptr;
};

TEST_F(StaleFixTest, AFixOlderThanThreeSecondsIsNotALock) {
  rig_.SendGps(true, 45.5, 9.1);
  EXPECT_EQ(Band(), QColor(0, 192, 0));

  // Exactly three seconds old still counts; a millisecond more does not.
  const CGpsData fix = rig_.link.gps.Read();
  EXPECT_TRUE(fix.IsLockedAt(fix.m_receivedMs + CGpsData::kStaleAfterMs));
  EXPECT_FALSE(fix.IsLockedAt(fix.m_receivedMs + CGpsData::kStaleAfterMs + 1));
  rig_.clock.ahead_ms = 20'000;  // the board was unplugged 20 s ago
  EXPECT_EQ(Band(), QColor(192, 0, 0));

  view_->OnTap(QPoint(100, 100));
  EXPECT_EQ(rig_.messages.shown,
            (std::vector<std::string>{"GPS is not locked. Wait until GPS is locked."}));
  EXPECT_TRUE(rig_.projection.m_taps.empty());
  EXPECT_TRUE(rig_.waves.played.empty()) << "no PING for a refused tap";

  // A new report is a lock again.
  rig_.clock.ahead_ms = 0;
  rig_.SendGps(true, 45.5, 9.1);
  view_->OnTap(QPoint(100, 100));
  EXPECT_EQ(rig_.projection.m_taps.size(), 1u);
}

// With no report at all the view must still repaint, or the band would stay
// green with the last position: it repaints about once a second while it
// shows a lock, and stops once the band is red.
TEST_F(StaleFixTest, TheViewRepaintsOnItsOwnWhileItShowsALock) {
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

}  // namespace
}  // namespace velkaro::testing
