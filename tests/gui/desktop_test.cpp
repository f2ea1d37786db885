// The desktop around the designed screens: the start size, the menu bar's
// keys and the dialogs they open, zoom below 100% down to the whole plan and
// about the pointer, the title and its unsaved mark, and the About box's keys.
#include "gui/common/command_ids.h"
#include "gui/shell/about_dialog.h"
#include "tests/support/gui/gui_rig.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace velkaro::testing {
namespace {

TEST(Desktop, OpensAtTwoThirdsOfTheScreenAndSaysHowToStart) {
  Rig rig;
  rig.context.desktop_size = true;
  rig.Start();
  const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
  EXPECT_EQ(rig.Frame().width(), std::max(screen.width() * 2 / 3, 240));
  EXPECT_NEAR(rig.Frame().height(), screen.height() * 2 / 3, 1);
  EXPECT_EQ(rig.Frame().FixStatus().toStdString().rfind("Click to start", 0), 0u);
  rig.SwitchToSite();
  rig.Frame().OnBoardUpdate();
  EXPECT_EQ(rig.Frame().FixStatus().toStdString().find("Click to start"), std::string::npos);
}

// Every menu item and button says what it does, and the standard keys run
// the commands: each file command's dialog has its own title.
TEST(Desktop, TheMenuKeysRunTheCommandsAndEveryButtonHasItsPrompt) {
  Rig rig;
  rig.Start();
  for (QAction* button : rig.Frame().CommandBar()->actions())
    EXPECT_FALSE(button->toolTip().isEmpty()) << button->data().toInt();
  const std::pair<int, QKeySequence> keys[] = {
      {ID_NEW_PROJECTION, QKeySequence(Qt::CTRL | Qt::Key_N)},
      {ID_OPEN_PROJECTION, QKeySequence(Qt::CTRL | Qt::Key_O)},
      {ID_SAVE_PROJECTION, QKeySequence(Qt::CTRL | Qt::Key_S)},
      {ID_APP_EXIT, QKeySequence(Qt::CTRL | Qt::Key_Q)},
      {ID_ZOOM_IN, QKeySequence(Qt::CTRL | Qt::Key_Equal)},
      {ID_ZOOM_OUT, QKeySequence(Qt::CTRL | Qt::Key_Minus)},
      {ID_WHOLE_PLAN, QKeySequence(Qt::CTRL | Qt::Key_0)},
      {ID_POINT_LIST, QKeySequence(Qt::CTRL | Qt::Key_L)},
      {ID_UNDO, QKeySequence(Qt::CTRL | Qt::Key_Z)},
      {ID_REDO, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
      {ID_QUICK_START, QKeySequence(Qt::Key_F1)},
  };
  for (const auto& [id, key] : keys) {
    QAction* item = rig.Frame().MenuAction(id);
    ASSERT_NE(item, nullptr) << id;
    EXPECT_TRUE(item->shortcuts().contains(key)) << id << " " << key.toString().toStdString();
  }
  rig.SwitchToSite();
  rig.Frame().activateWindow();
  rig.projection.m_taps = {{1, 2, 45.0, 9.0, 0}, {3, 4, 45.1, 9.1, 0}, {5, 6, 45.2, 9.2, 0},
                           {7, 8, 45.3, 9.3, 0}, {9, 10, 45.4, 9.4, 0}};
  rig.projection.UsePlan(rig.Path("campus.bmp"));
  for (const auto& [key, title] : {std::pair{Qt::Key_N, "Load plan bitmap"},
                                   std::pair{Qt::Key_O, "Open projection file"},
                                   std::pair{Qt::Key_S, "Save projection file"}}) {
    rig.files.requests.clear();
    QTest::keyClick(&rig.Frame(), key, Qt::ControlModifier);
    ASSERT_EQ(rig.files.requests.size(), 1u) << title;
    EXPECT_EQ(rig.files.requests[0].title, title);
  }
  // The save proposes the plan's own name.
  EXPECT_EQ(rig.files.requests[0].proposed_name, rig.Path("campus.vlk"));
}

// A 4000 x 3000 plan in a 900 x 700 window: out to the whole plan and back,
// the points stay on their plan pixels and are drawn where the view puts
// them; Ctrl+wheel keeps the pixel under the pointer.
TEST(Desktop, ZoomGoesOutToTheWholePlanAndBackKeepingThePoints) {
  Rig rig;
  rig.Start();
  CSiteView& view = rig.SwitchToSite();
  rig.Frame().resize(900, 700);
  QApplication::processEvents();
  rig.LoadPlan(rig.WritePlan("big.bmp", 4000, 3000));
  ASSERT_TRUE(view.PlanLoaded());
  rig.projection.m_taps = {{100, 200, 45.0, 9.0, 0}, {3900, 2900, 45.1, 9.1, 0}};
  const auto taps = rig.projection.m_taps;
  rig.Frame().MenuAction(ID_WHOLE_PLAN)->trigger();
  const PlanRect shown = rig.plan.GetView();
  EXPECT_LE(shown.left, 0);
  EXPECT_LE(shown.top, 0);
  EXPECT_GE(shown.right, 4000);
  EXPECT_GE(shown.bottom, 3000);
  EXPECT_LT(rig.plan.ZoomPercent(), 100);
  EXPECT_FALSE(rig.plan.CanZoomOut());
  // Both points are on screen, as black markers.
  const QImage drawn = view.OnDraw();
  for (const auto& tap : taps) {
    int32_t sx = 0, sy = 0;
    ASSERT_TRUE(rig.plan.PlanToScreen(view.ClientRect(), int{tap.x}, int{tap.y}, sx, sy));
    EXPECT_EQ(QColor(drawn.pixel(sx, sy)), QColor(Qt::black)) << sx << "," << sy;
  }
  while (rig.plan.ZoomPercent() < 100) rig.Frame().MenuAction(ID_ZOOM_IN)->trigger();
  EXPECT_EQ(rig.plan.ZoomPercent(), 100);
  ASSERT_EQ(rig.projection.m_taps.size(), 2u);
  for (size_t i = 0; i < taps.size(); ++i) {
    EXPECT_EQ(int{rig.projection.m_taps[i].x}, int{taps[i].x});
    EXPECT_EQ(int{rig.projection.m_taps[i].y}, int{taps[i].y});
  }

  // The arrow keys move the plan.
  const int32_t centre_x = rig.plan.GetCenterX();
  QTest::keyClick(&view, Qt::Key_Right);
  EXPECT_GT(rig.plan.GetCenterX(), centre_x);

  const QPoint pointer(200, 150);
  int32_t before_x = 0, before_y = 0, after_x = 0, after_y = 0;
  rig.plan.ScreenToPlan(view.ClientRect(), pointer.x(), pointer.y(), before_x, before_y);
  QWheelEvent wheel(pointer, view.viewport()->mapToGlobal(pointer), {}, {0, 120}, Qt::NoButton,
                    Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view.viewport(), &wheel);
  EXPECT_EQ(rig.plan.ZoomPercent(), 200);
  rig.plan.ScreenToPlan(view.ClientRect(), pointer.x(), pointer.y(), after_x, after_y);
  EXPECT_NEAR(after_x, before_x, 1);
  EXPECT_NEAR(after_y, before_y, 1);
}

TEST(Desktop, TheTitleNamesTheFileAndMarksUnsavedPoints) {
  Rig rig;
  rig.Start();
  EXPECT_EQ(rig.Frame().windowTitle().toStdString(), "Velkaro");
  rig.SwitchToSite();
  rig.LoadPlan(rig.WritePlan("campus.bmp", 720, 540));
  EXPECT_EQ(rig.Frame().windowTitle().toStdString(), "campus.bmp[*] - Velkaro");
  EXPECT_FALSE(rig.Frame().isWindowModified());
  rig.CaptureFive();
  rig.Frame().OnBoardUpdate();
  EXPECT_TRUE(rig.Frame().isWindowModified());
  rig.files.answers.push_back(rig.Path("site.vlk"));
  rig.Frame().MenuAction(ID_SAVE_PROJECTION)->trigger();
  EXPECT_TRUE(rig.messages.shown.empty()) << rig.messages.shown.front();
  EXPECT_EQ(rig.Frame().windowTitle().toStdString(), "site.vlk[*] - Velkaro");
  EXPECT_FALSE(rig.Frame().isWindowModified());
  EXPECT_EQ(rig.Frame().statusBar()->currentMessage().toStdString(),
            "Saved " + rig.Path("site.vlk") + ".");
}

// File > Export asks for a saved file first, then writes the saved plan in
// the format of the name chosen and says so in the status bar.
TEST(Desktop, ExportWritesTheSavedPlanInTheChosenFormat) {
  Rig rig;
  rig.Start();
  rig.SwitchToSite();
  rig.LoadPlan(rig.WritePlan("campus.bmp", 720, 540));
  rig.CaptureFive();
  rig.Frame().MenuAction(ID_EXPORT)->trigger();
  EXPECT_EQ(rig.messages.shown,
            std::vector<std::string>{"Save the projection file first: the export is made from it."});
  rig.messages.shown.clear();
  rig.files.answers.push_back(rig.Path("site.vlk"));
  rig.Frame().MenuAction(ID_SAVE_PROJECTION)->trigger();
  rig.files.requests.clear();
  rig.files.answers.push_back(rig.Path("site.pdf"));
  rig.Frame().MenuAction(ID_EXPORT)->trigger();
  ASSERT_EQ(rig.files.requests.size(), 1u);
  EXPECT_EQ(rig.files.requests[0].proposed_name, rig.Path("site.tif"));
  EXPECT_TRUE(rig.messages.shown.empty()) << rig.messages.shown.front();
  EXPECT_EQ(ReadText(rig.Path("site.pdf")).rfind("%PDF-", 0), 0u);
  EXPECT_EQ(rig.Frame().statusBar()->currentMessage().toStdString(),
            "Exported " + rig.Path("site.pdf") + " from " + rig.Path("site.vlk") + ".");
}

TEST(Desktop, TheAboutBoxClosesWithReturn) {
  CAboutDlg about;
  QTimer::singleShot(0, &about, [&about] { QTest::keyClick(&about, Qt::Key_Return); });
  EXPECT_EQ(about.exec(), QDialog::Accepted);
}

}  // namespace
}  // namespace velkaro::testing
