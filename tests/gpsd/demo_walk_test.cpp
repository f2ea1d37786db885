// The application through the whole chain a real receiver uses: the
// simulator speaking NMEA on a pseudo-terminal, a private gpsd reading it,
// and the real frame, views and site model reading gpsd on the offscreen
// platform. The demo walk (twenty times the field's pace) gives five
// reference points and a saved projection file whose geocode is the one the
// board gives: gpsd carries positions in decimal, not milliarcseconds, so
// the coefficients differ in their last digits, but not where they put any
// point of the plan.
#include "gui/shell/main_frame.h"
#include "gui/shell/resources.h"
#include "gui/site_view/site_view.h"
#include "tests/support/child_process.h"
#include "tests/support/gui/offscreen_suite.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_folder.h"
#include "tools/demo/demo_flow.h"

#include <cmath>
#include <cstdlib>

#include <QApplication>
#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace velkaro::demo {
namespace {

using namespace std::chrono_literals;
using velkaro::testing::ChildGroup;

// The board's position for a landmark: the walk's whole milliarcseconds.
double BoardDegrees(double degrees) { return std::round(degrees * 3600000.0) / 3600000.0; }

class DemoWalkThroughGpsd : public velkaro::testing::OffscreenSuite {
 protected:
  void TearDown() override {
    gpsd_.Stop();
    board_.Stop();
  }
  ChildGroup board_, gpsd_;
};

TEST_F(DemoWalkThroughGpsd, FivePointsAndTheBoardsGeocode) {
  testing::TempFolder dir;
  const testing::CurrentDir current(dir.path());  // the solves write debug.txt here
  auto file = [&](const char* name) { return dir.File(name); };

  std::string error;
  ASSERT_TRUE(board_.Start(VELKARO_BIN_DIR "/velkaro-board",
                           {"--nmea", "--rate", "20", "--lock-after", "1"}, file("board.out"),
                           file("board.err"), &error))
      << error;
  const std::string pty = testing::FirstLine(file("board.out"), 10s);
  ASSERT_FALSE(pty.empty()) << testing::ReadText(file("board.err"));
  const int port = testing::FreeLoopbackPort();
  ASSERT_TRUE(gpsd_.Start(testing::GpsdProgram(), {"-N", "-n", "-S", std::to_string(port), pty},
                          file("gpsd.out"), file("gpsd.err"), &error))
      << error;
  ASSERT_TRUE(testing::WaitListening(port, 10s)) << testing::ReadText(file("gpsd.err"));

  const QString plan = QString::fromStdString(dir.File("campus.bmp"));
  ASSERT_TRUE(QFile::copy(":/demo/campus.bmp", plan));
  QFile::setPermissions(plan, QFile::ReadOwner | QFile::WriteOwner);
  std::vector<CSiteProjection::_tap> taps;
  double xLat, xLon, x0, yLat, yLon, y0;
  {
    DemoFlow flow(
        "", [](const std::string&) {}, nullptr, GpsdAddress{"localhost", std::to_string(port)});
    ASSERT_TRUE(flow.Start());
    EXPECT_TRUE(flow.Messages().shown.empty());
    ASSERT_TRUE(flow.ShowSiteView());
    ASSERT_TRUE(flow.WaitForLock(30s));
    ASSERT_TRUE(flow.LoadPlan(plan.toStdString()));
    for (size_t i = 0; i < 5; ++i) {
      ASSERT_TRUE(flow.CaptureAt(Landmarks()[i], 60s)) << Landmarks()[i].name;
    }
    // Under the view, gpsd's accuracy and satellites with the position (its
    // sky reports have come in by now: the first may follow the first fix).
    flow.App().MainFrame()->OnBoardUpdate();
    const std::string status = flow.App().MainFrame()->FixStatus().toStdString();
    EXPECT_NE(status.find("\u00b1"), std::string::npos) << status;
    EXPECT_NE(status.find(" satellites"), std::string::npos) << status;
    EXPECT_NE(status.find("gpsd localhost:"), std::string::npos) << status;
    ASSERT_TRUE(flow.Save(file("campus.vlk"))) << flow.Messages().shown.back();
    const CSiteProjection& p = flow.Projection();
    taps = p.m_taps;
    xLat = p.m_xLat, xLon = p.m_xLon, x0 = p.m_x0, yLat = p.m_yLat, yLon = p.m_yLon, y0 = p.m_y0;
  }

  // The same taps as the board gives them, solved the same way.
  CSiteProjection board;
  ASSERT_EQ(taps.size(), 5u);
  for (size_t i = 0; i < taps.size(); ++i) {
    const Landmark& landmark = Landmarks()[i];
    EXPECT_EQ(taps[i].x, landmark.x);
    EXPECT_EQ(taps[i].y, landmark.y);
    CSiteProjection::_tap tap = taps[i];
    tap.lat = BoardDegrees(DemoLat(landmark.y));
    tap.lon = BoardDegrees(DemoLon(landmark.x));
    EXPECT_NEAR(taps[i].lat, tap.lat, 2e-9) << landmark.name;
    EXPECT_NEAR(taps[i].lon, tap.lon, 2e-9) << landmark.name;
    board.m_taps.push_back(tap);
  }
  board.Solve();
  ASSERT_TRUE(board.Validate());
  // Where each geocode puts the plan's corners and the landmarks.
  for (const auto& [lat, lon] :
       std::vector<std::pair<double, double>>{{DemoLat(0), DemoLon(0)},
                                              {DemoLat(540), DemoLon(720)},
                                              {DemoLat(0), DemoLon(720)},
                                              {DemoLat(540), DemoLon(0)},
                                              {DemoLat(270), DemoLon(360)}}) {
    EXPECT_NEAR(xLat * lat + xLon * lon + x0, board.m_xLat * lat + board.m_xLon * lon + board.m_x0,
                0.001);
    EXPECT_NEAR(yLat * lat + yLon * lon + y0, board.m_yLat * lat + board.m_yLon * lon + board.m_y0,
                0.001);
  }
}

}  // namespace
}  // namespace velkaro::demo
