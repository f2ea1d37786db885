// End to end: the board simulator on a pseudo-terminal, the real application
// classes on the offscreen platform and the real serial path. The walk is
// replayed twenty times faster than in the field.
#include "gui/common/command_ids.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/resources.h"
#include "gui/site_view/point_list_dialog.h"
#include "gui/site_view/site_view.h"
#include "site/point_fit.h"
#include "site/reference_points_file.h"
#include "site/side_files.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_serial_port.h"
#include "tests/support/gui/offscreen_suite.h"
#include "tests/support/temp_folder.h"
#include "tools/demo/demo_flow.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace velkaro::demo {
namespace {

class GuiEndToEnd : public velkaro::testing::OffscreenSuite {
 protected:
  // The simulator started with `args`, the demo plan copied into the test's
  // folder, and a flow on the site view with that plan loaded and a lock.
  void WalkOnThePlan(const std::vector<std::string>& args) {
    std::string error;
    ASSERT_TRUE(
        board_.Start(VELKARO_BIN_DIR "/velkaro-board", args, std::chrono::seconds(10), &error))
        << error;
    plan_ = dir_.File("campus.bmp");
    ASSERT_TRUE(QFile::copy(":/demo/campus.bmp", QString::fromStdString(plan_)));
    QFile::setPermissions(QString::fromStdString(plan_), QFile::ReadOwner | QFile::WriteOwner);
    flow_.emplace(board_.device(), [](const std::string&) {});
    ASSERT_TRUE(flow_->Start());
    ASSERT_TRUE(flow_->ShowSiteView());
    ASSERT_TRUE(flow_->WaitForLock(std::chrono::seconds(20)));
    ASSERT_TRUE(flow_->LoadPlan(plan_));
  }

  testing::TempFolder dir_;
  testing::CurrentDir current_{dir_.path()};  // the solves write debug.txt here
  testing::BoardProcess board_;
  std::string plan_;
  std::optional<DemoFlow> flow_;
};

TEST_F(GuiEndToEnd, CaptureTheLandmarksFromTheSimulatorSaveAndReopen) {
  ASSERT_NO_FATAL_FAILURE(WalkOnThePlan({"--rate", "20", "--lock-after", "1"}));
  DemoFlow& flow = *flow_;
  // Under the view, the board's DOP and satellites with the position.
  flow.App().MainFrame()->OnBoardUpdate();
  const std::string status = flow.App().MainFrame()->FixStatus().toStdString();
  EXPECT_NE(status.find("  HDOP "), std::string::npos) << status;
  EXPECT_NE(status.find(" satellites  "), std::string::npos) << status;
  EXPECT_NE(status.find("board on " + board_.device()), std::string::npos) << status;
  int valid_messages = 0;
  for (size_t i = 0; i < 5; ++i) {
    const Landmark& landmark = Landmarks()[i];
    ASSERT_TRUE(flow.CaptureAt(landmark, std::chrono::seconds(60))) << landmark.name;
    const auto& tap = flow.Projection().m_taps.back();
    EXPECT_EQ(int(tap.x), landmark.x) << landmark.name;
    EXPECT_EQ(int(tap.y), landmark.y) << landmark.name;
    EXPECT_NEAR(double(tap.lat), DemoLat(landmark.y), 1e-6) << landmark.name;
    EXPECT_NEAR(double(tap.lon), DemoLon(landmark.x), 1e-6) << landmark.name;
    for (const std::string& m : flow.Messages().shown) {
      if (m == "You now have a valid geocode solution. Please save file.") ++valid_messages;
    }
    EXPECT_EQ(valid_messages, i == 4 ? 1 : 0) << landmark.name;
    flow.Messages().shown.clear();
  }
  const std::string vlk = dir_.File("campus.vlk");
  ASSERT_TRUE(flow.Save(vlk)) << flow.Messages().shown.back();
  const QImage saved_plan = flow.App().MainFrame()->SiteView()->PlanBitmap();
  const std::vector<CSiteProjection::_tap> saved_taps = flow.Projection().m_taps;
  flow_.reset();
  board_.Stop();

  const velkaro::testing::ProgramRun info =
      velkaro::testing::RunProgram(VELKARO_BIN_DIR "/vlk", {"info", vlk});
  EXPECT_EQ(info.status, 0) << info.out;
  EXPECT_NE(info.out.find("header length 145"), std::string::npos) << info.out;

  // A fresh run, without the board, opens the file and shows the same plan.
  {
    testing::FakeOpener no_board;
    DemoFlow reopen(
        "", [](const std::string&) {}, &no_board);
    ASSERT_TRUE(reopen.Start(std::chrono::milliseconds(0)));
    ASSERT_TRUE(reopen.ShowSiteView());
    reopen.Messages().answer_yes = true;
    ASSERT_TRUE(reopen.OpenProjection(vlk));
    EXPECT_EQ(reopen.App().MainFrame()->SiteView()->PlanBitmap(), saved_plan);
    EXPECT_EQ(reopen.Projection().m_strPlanPath, SideFilePath(vlk, SideFile::kExpandedPlan));
    // The points saved beside the file come back exactly, on request.
    EXPECT_EQ(reopen.Messages().asked,
              (std::vector<std::string>{"Restore 5 reference points saved for this plan?"}));
    ASSERT_EQ(reopen.Projection().m_taps.size(), saved_taps.size());
    EXPECT_EQ(std::memcmp(reopen.Projection().m_taps.data(), saved_taps.data(),
                          saved_taps.size() * sizeof(CSiteProjection::_tap)),
              0);
  }
}

// The walk with the fourth point tapped 80 columns (40 m) east of where the
// user stood: the valid-solution message names it, deleting it from the
// point list brings the fit back together, and the file saved then holds
// the geocode of the good points, bit for bit as vlk saves them.
TEST_F(GuiEndToEnd, AWrongPointIsNamedAndDeletingItFromTheListMendsTheGeocode) {
  ASSERT_NO_FATAL_FAILURE(WalkOnThePlan({"--rate", "20", "--lock-after", "1"}));
  DemoFlow& flow = *flow_;
  testing::TempFolder& dir = dir_;
  const std::string& plan = plan_;
  for (size_t i = 0; i < Landmarks().size(); ++i) {
    ASSERT_TRUE(flow.CaptureAt(Landmarks()[i], std::chrono::seconds(60), i == 3 ? 80 : 0));
  }
  ASSERT_FALSE(flow.Messages().shown.empty());
  EXPECT_EQ(flow.Messages().shown.back(),
            "You now have a valid geocode solution. Please save file.\n"
            "Point 4 is 40 m off the fit of the others.");
  CMainFrame& frame = *flow.App().MainFrame();
  const std::vector<CSiteProjection::_tap> taken = flow.Projection().m_taps;
  EXPECT_GT(FitPoints(taken).rms_metres, 10.0);

  flow.Messages().answer_yes = true;
  QTimer::singleShot(0, [] {
    auto* list = qobject_cast<CProList*>(QApplication::activeModalWidget());
    ASSERT_NE(list, nullptr);
    list->m_list->setCurrentRow(4);  // under the header: the fourth point
    list->m_delete->click();
    list->accept();
  });
  frame.CommandAction(ID_POINT_LIST)->trigger();
  ASSERT_EQ(flow.Projection().m_taps.size(), 5u);
  const PointFit mended = FitPoints(flow.Projection().m_taps);
  EXPECT_LT(mended.rms_metres, 2.0);
  EXPECT_EQ(mended.worst, -1);
  frame.OnBoardUpdate();
  EXPECT_NE(frame.FixStatus().toStdString().find(RmsText(mended)), std::string::npos);

  const std::string vlk = dir.File("campus.vlk");
  ASSERT_TRUE(flow.Save(vlk)) << flow.Messages().shown.back();
  board_.Stop();
  // The good points, as a list for vlk save.
  std::vector<CSiteProjection::_tap> good = taken;
  good.erase(good.begin() + 3);
  ASSERT_EQ(std::memcmp(good.data(), flow.Projection().m_taps.data(), 5 * sizeof good[0]), 0);
  testing::WriteText(dir.File("good.points"), FormatReferencePoints(good, std::nullopt));
  const testing::ProgramRun saved = testing::RunProgram(
      VELKARO_BIN_DIR "/vlk", {"save", dir.File("good.points"), plan, dir.File("good.vlk")});
  ASSERT_EQ(saved.status, 0) << saved.out;
  EXPECT_EQ(testing::ReadText(vlk), testing::ReadText(dir.File("good.vlk")));
}

// --average 5 on a walk: the point is the mean, at full precision, of the
// positions the board sent while the window was open, about five of them.
TEST_F(GuiEndToEnd, AnAveragedPointIsTheMeanOfTheBoardsPositionsInTheWindow) {
  // A straight walk east, a new position each second.
  std::string track;
  for (int i = 0; i < 60; ++i) track += "45.5," + std::to_string(9.1 + 0.00001 * i) + "\n";
  testing::WriteText(dir_.File("walk.csv"), track);
  ASSERT_NO_FATAL_FAILURE(
      WalkOnThePlan({"--rate", "1", "--lock-after", "1", "--track", dir_.File("walk.csv")}));
  DemoFlow& flow = *flow_;
  CSiteView& view = *flow.App().MainFrame()->SiteView();
  view.SetCaptureOptions({.average_ms = 5000});

  // Every record the board sent from the one tapped on to the window's end.
  std::vector<CGpsData> seen{flow.Gps().Read()};
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.viewport()->rect().center());
  ASSERT_TRUE(view.Averaging()) << (flow.Messages().shown.empty() ? "" : flow.Messages().shown[0]);
  QElapsedTimer waited;
  waited.start();
  while (view.Averaging() && waited.elapsed() < 10000) {
    QTest::qWait(5);
    const CGpsData gps = flow.Gps().Read();
    if (gps.m_receivedMs != seen.back().m_receivedMs) seen.push_back(gps);
  }
  board_.Stop();
  ASSERT_EQ(flow.Projection().m_taps.size(), 1u);
  const CSiteProjection::_tap tap = flow.Projection().m_taps[0];
  const CSiteProjection::Averaging* averaging = flow.Projection().AveragingOf(tap);
  ASSERT_NE(averaging, nullptr);
  // A fix that came in as the window closed may not have been taken.
  const size_t fixes = static_cast<size_t>(averaging->fixes);
  EXPECT_GE(fixes, 5u);
  EXPECT_LE(fixes, 7u);
  ASSERT_GE(seen.size(), fixes);
  EXPECT_LE(seen.size(), fixes + 1);
  double lat = 0.0, lon = 0.0;
  for (size_t i = 0; i < fixes; ++i) {
    lat += seen[i].m_latB;
    lon += seen[i].m_lonB;
    // Each one a position of the walk, to the board's milliarcsecond.
    EXPECT_NEAR(seen[i].m_latB, 45.5, 3e-7);
    EXPECT_NEAR(std::remainder((seen[i].m_lonB - 9.1) / 0.00001, 1.0), 0.0, 0.03);
  }
  EXPECT_NEAR(double(tap.lat), lat / double(fixes), 1e-12);
  EXPECT_NEAR(double(tap.lon), lon / double(fixes), 1e-12);
  EXPECT_GT(averaging->spread_m, 0.5);  // about 0.78 m a second, east
}

}  // namespace
}  // namespace velkaro::demo
