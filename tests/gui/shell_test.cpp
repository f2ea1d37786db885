// The frame's start-up, command bar and routing, view switch, board-update
// repaint, minimise and shut-down, the about box and the command line.
#include "gui/common/command_ids.h"
#include "gui/shell/about_dialog.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_gpsd.h"
#include "tests/support/gui/gui_rig.h"

#include <chrono>
#include <thread>

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QToolBar>
#include <QWindow>

#include <gtest/gtest.h>

namespace velkaro::testing {
namespace {

TEST(FrameStartup, OpensTheLinkThenStartsTheWorkerBetweenTwoPauses) {
  Rig rig;
  rig.context.port_override = "/dev/ttyFAKE0";
  rig.Start();
  const std::vector<std::string> expected = {"open /dev/ttyFAKE0", "sleep 2000", "sleep 2000"};
  EXPECT_EQ(rig.log.Entries(), expected);
  EXPECT_TRUE(rig.messages.shown.empty());
  EXPECT_EQ(rig.Frame().ActiveView(), rig.Frame().StatusView());
  EXPECT_FALSE(QApplication::overrideCursor()) << "the wait cursor is restored";

  // The worker runs and writes the queued start-up frame to the port.
  testing::FakePort* port = rig.opener.Last();
  ASSERT_NE(port, nullptr);
  const std::vector<uint8_t> startup = {0x11, 0x12, 0x01, 0x00, 0x11, 0x13};
  for (int i = 0; i < 200; ++i) {
    if (port->Written().size() >= startup.size()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(port->Written(), startup);
}

TEST(FrameStartup, APortThatDoesNotOpenIsReportedAndStartUpGoesOn) {
  Rig rig;
  rig.opener.SetFail(true);
  rig.Start();
  EXPECT_EQ(rig.messages.shown, std::vector<std::string>{"Cannot Open Connection To Board."});
  const auto entries = rig.log.Entries();
  EXPECT_EQ(std::count(entries.begin(), entries.end(), "sleep 2000"), 2);
  EXPECT_TRUE(rig.Frame().isVisible());
  EXPECT_EQ(rig.Frame().ActiveView(), rig.Frame().StatusView());
}

TEST(FrameStartup, WithGpsdTheBoardIsLeftAloneAndAMissingGpsdIsReported) {
  Rig rig;
  const int port = velkaro::testing::FreeLoopbackPort();
  rig.context.gpsd = GpsdAddress{"127.0.0.1", std::to_string(port)};
  rig.Start();
  EXPECT_EQ(rig.messages.shown, std::vector<std::string>{"Cannot connect to gpsd at 127.0.0.1:" +
                                                         std::to_string(port) + "."});
  EXPECT_TRUE(rig.log.Entries().empty()) << "no port opened, no pause for the board";
  EXPECT_EQ(rig.opener.Last(), nullptr);
  EXPECT_TRUE(rig.Frame().isVisible());
}

// Minimising only minimises; closing stops the worker before the port closes.
TEST(FrameShutdown, MinimisingKeepsTheLinkAndClosingStopsTheWorkerFirst) {
  Rig rig;
  rig.Start();
  testing::FakePort* port = rig.opener.Last();
  ASSERT_NE(port, nullptr);
  rig.Frame().showMinimized();
  QApplication::processEvents();
  EXPECT_TRUE(rig.Frame().isVisible());
  const int minimised = port->Polls();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_GT(port->Polls(), minimised) << "the worker keeps polling the port when minimised";
  EXPECT_EQ(rig.link.engine.m_hWndNotify.load(), &rig.Frame());

  rig.Frame().close();
  const int polls = port->Polls();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(port->Polls(), polls) << "no worker touches the port after the close";
  EXPECT_EQ(rig.link.engine.m_hWndNotify.load(), nullptr);
  EXPECT_TRUE(rig.link.com.m_hClosedEvent.IsSet()) << "the link may close its port at once";
}

// The frame opens at the handheld's size; the buttons grow past 240 across.
TEST(CommandBar, HoldsTheEightCommandsWithTheirPromptsAndSizes) {
  Rig rig;
  rig.Start();
  EXPECT_EQ(rig.Frame().centralWidget()->width(), 240);
  EXPECT_GE(rig.Frame().centralWidget()->height(), 266);
  const QList<QAction*> actions = rig.Frame().CommandBar()->actions();
  ASSERT_EQ(actions.size(), 8);
  const char* prompts[] = {"Create a New Projection File",
                           "Open Projection File",
                           "Save Projection File",
                           "Zoom In",
                           "Zoom Out",
                           "Point List",
                           nullptr,
                           "About Velkaro"};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(actions[i]->data().toInt(), kToolbarCommands[i]);
    // The snapshot has no prompt string; Qt shows the button's name instead.
    if (prompts[i]) {
      EXPECT_EQ(actions[i]->toolTip().toStdString(), prompts[i]);
    }
  }
  for (const auto& [width, size] : {std::pair{240, 16}, std::pair{241, 30}, std::pair{480, 30}}) {
    rig.Frame().OnSize(width, 300);
    EXPECT_EQ(rig.Frame().CommandBar()->iconSize(), QSize(size, size)) << width;
  }
}

TEST(CommandBar, OnlySnapshotAndAboutWorkOnTheStatusView) {
  Rig rig;
  rig.Start();
  for (int id : kToolbarCommands) {
    const bool enabled = id == ID_SNAPSHOT || id == ID_APP_ABOUT;
    EXPECT_EQ(rig.Frame().CommandAction(id)->isEnabled(), enabled) << id;
  }
  rig.SwitchToSite();
  for (int id : kToolbarCommands) EXPECT_TRUE(rig.Frame().CommandAction(id)->isEnabled()) << id;

  // The snapshot goes to the frame whichever view is active.
  rig.Frame().CommandAction(ID_SNAPSHOT)->trigger();
  EXPECT_EQ(rig.snapshots, 1);

  Rig without;
  without.context.snapshot = nullptr;
  without.Start();
  EXPECT_FALSE(without.Frame().CommandAction(ID_SNAPSHOT)->isEnabled());
}

TEST(BoardUpdate, RepaintsTheActiveView) {
  Rig rig;
  rig.Start();
  CSiteView& view = rig.SwitchToSite();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.Frame()));
  PaintCounter counter;
  view.viewport()->installEventFilter(&counter);
  QApplication::processEvents();
  const int before = counter.paints;
  rig.SendGps(true, 45.5, 9.1);  // posts WM_BOARD_UPDATE from the engine
  QTest::qWait(20);
  EXPECT_GT(counter.paints, before);
  view.viewport()->removeEventFilter(&counter);
}

// The status line shows the live fix to seven decimals with its source, and
// once the reports stop, neither the position nor the board as live.
TEST(BoardUpdate, TheStatusLineShowsTheLiveFixAndNeverAStaleOne) {
  Rig rig;
  rig.Start();
  rig.SendGps(true, 45.4978400, 9.1003840);  // the board sends whole milliarcseconds
  QTest::qWait(20);
  const std::string live = rig.Frame().FixStatus().toStdString();
  EXPECT_NE(live.find("45.4978400 N 9.1003839 E"), std::string::npos) << live;
  EXPECT_NE(live.find("fix 0.0 s old"), std::string::npos) << live;
  EXPECT_NE(live.find("board on "), std::string::npos) << live;

  rig.clock.ahead_ms += CGpsData::kStaleAfterMs + 1;
  rig.Frame().OnBoardUpdate();
  const std::string stale = rig.Frame().FixStatus().toStdString();
  EXPECT_EQ(stale.find("45.4978400"), std::string::npos) << stale;
  EXPECT_NE(stale.find("no 3-D fix"), std::string::npos) << stale;
  EXPECT_NE(stale.find("fix 3.0 s old"), std::string::npos) << stale;
  EXPECT_NE(stale.find("no board answering on "), std::string::npos) << stale;
}

TEST(AboutBox, VersionTextFollowsTheScreensOrientation) {
  CAboutDlg about;
  EXPECT_EQ(about.windowTitle().toStdString(), "About Velkaro");
  about.OnSize(QSize(240, 320));
  EXPECT_EQ(about.VersionText().toStdString(), "Velkaro Version 1.03");
  about.OnSize(QSize(320, 240));
  EXPECT_EQ(about.VersionText().toStdString(), "Velkaro Version 1.0");
}

// (--help is an option of its own; tests/cli checks what it prints.)
TEST(CommandLine, AnythingButOnePositionSourceIsAUsageError) {
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"},
      {"--port"},
      {"--port", "/dev/x", "extra"},
      {"-p", "/dev/x"},
      {"--port", "/dev/x", "--gpsd"},
      {"--gpsd", "localhost:2947", "--port", "/dev/x"},
      {"--gpsd", "a", "--gpsd", "b"},
      {"--gpsd", "localhost:0"},
      {"--gpsd", "localhost:2947", "extra"}};
  for (const auto& args : cases) {
    const ProgramRun run = RunProgram(VELKARO_BIN_DIR "/velkaro", args);
    EXPECT_EQ(run.status, 2) << args[0];
    EXPECT_NE(run.out.find("usage: velkaro [--port DEVICE | --gpsd [HOST[:PORT]]]"),
              std::string::npos)
        << run.out;
  }
}

}  // namespace
}  // namespace velkaro::testing
