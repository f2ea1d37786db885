// End to end: the board simulator on a pseudo-terminal, the real application
// classes on the offscreen platform and the real serial path. The walk is
// replayed twenty times faster than in the field.
#include "gui/common/command_ids.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/resources.h"
#include "gui/site_view/site_view.h"
#include "site/side_files.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_serial_port.h"
#include "tests/support/gui/offscreen_suite.h"
#include "tests/support/temp_folder.h"
#include "tools/demo/demo_flow.h"

#include <cstdlib>
#include <cstring>

#include <QApplication>
#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace velkaro::demo {
namespace {

class GuiEndToEnd : public velkaro::testing::OffscreenSuite {};

TEST_F(GuiEndToEnd, CaptureTheLandmarksFromTheSimulatorSaveAndReopen) {
  testing::TempFolder dir;
  const testing::CurrentDir current(dir.path());  // the solves write debug.txt here

  testing::BoardProcess board;
  std::string error;
  ASSERT_TRUE(board.Start(VELKARO_BIN_DIR "/velkaro-board", {"--rate", "20", "--lock-after", "1"},
                          std::chrono::seconds(10), &error))
      << error;

  const QString plan = QString::fromStdString(dir.File("campus.bmp"));
  ASSERT_TRUE(QFile::copy(":/demo/campus.bmp", plan));
  QFile::setPermissions(plan, QFile::ReadOwner | QFile::WriteOwner);
  const std::string vlk = dir.File("campus.vlk");
  QImage saved_plan;
  std::vector<CSiteProjection::_tap> saved_taps;
  {
    std::vector<std::string> steps;
    DemoFlow flow(board.device(), [&](const std::string& s) { steps.push_back(s); });
    ASSERT_TRUE(flow.Start());
    ASSERT_TRUE(flow.ShowSiteView());
    ASSERT_TRUE(flow.WaitForLock(std::chrono::seconds(20)));
    ASSERT_TRUE(flow.LoadPlan(plan.toStdString()));
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
    ASSERT_TRUE(flow.Save(vlk)) << flow.Messages().shown.back();
    saved_plan = flow.App().MainFrame()->SiteView()->PlanBitmap();
    saved_taps = flow.Projection().m_taps;
  }
  board.Stop();

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

}  // namespace
}  // namespace velkaro::demo
