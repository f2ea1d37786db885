// Command 32777 on the real frame: a snapshot of the status view and of the
// site view, each decoded and compared with the view's own rendering.
#include "gui/common/command_ids.h"
#include "gui/snapshot/snapshot_command.h"
#include "tests/gui/snapshot/snapshot_test_support.h"
#include "tests/support/event_trail.h"
#include "tests/support/gui/gui_rig.h"
#include "tests/support/jpeg_reader.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/recording_wave_player.h"
#include "tests/support/scripted_file_prompt.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace velkaro::testing {
namespace {

namespace fs = std::filesystem;

// Decodes the snapshot at `path` and compares it with what `view` renders:
// the view rows above its lowest row, within JPEG rounding.
void ExpectPictureOf(QWidget& view, const fs::path& path) {
  std::string error;
  const auto picture = testing::ReadJpeg(path, &error);
  ASSERT_TRUE(picture) << error;
  ASSERT_EQ(picture->width, 240);
  ASSERT_EQ(picture->height, 265);
  const QImage rendering = view.grab().toImage();
  ASSERT_EQ(rendering.width(), 240) << "the view has the layout's width";
  ASSERT_GE(rendering.height(), 266);
  const int h = rendering.height();
  const double difference = MeanAbsDifference(*picture, 0, rendering, h - 266, 265);
  EXPECT_LT(difference, 6.0);
  // The view is no flat field: the same picture against the view's rows
  // taken eight rows off is plainly worse.
  const double shifted = MeanAbsDifference(*picture, 0, rendering, h - 274, 265);
  EXPECT_GT(shifted, difference + 6.0);
}

// A plan of gradients and solid blocks. The encoder halves the colour
// resolution, so a plan whose colour changes from pixel to pixel would
// measure that, not the snapshot.
std::string WriteSmoothPlan(const fs::path& path) {
  QImage plan(400, 300, QImage::Format_RGB888);
  for (int y = 0; y < plan.height(); ++y) {
    for (int x = 0; x < plan.width(); ++x) {
      const bool block = (x / 50 + y / 50) % 3 == 0;
      plan.setPixel(x, y, block ? qRgb(30, 90, 200) : qRgb(x * 255 / 400, y * 255 / 300, 120));
    }
  }
  EXPECT_TRUE(plan.save(QString::fromStdString(path.string()), "BMP"));
  return path.string();
}

class SnapshotOnTheFrame : public ::testing::Test {
 protected:
  SnapshotOnTheFrame() {
    rig.context.snapshot = SnapshotCommand(waves, files, messages, folder.path());
    rig.Start();
  }

  void TakeSnapshot(const std::string& name) {
    QAction* button = rig.Frame().CommandAction(ID_SNAPSHOT);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled()) << "the snapshot works on either view";
    files.answers.push_back((folder.path() / name).string());
    button->trigger();
    QApplication::processEvents();
  }

  Rig rig;
  testing::TempFolder folder;
  testing::EventTrail trail;
  testing::RecordingWavePlayer waves{trail};
  testing::ScriptedFilePrompt files{trail};
  testing::RecordingMessageBox messages{trail};
};

TEST_F(SnapshotOnTheFrame, PicturesTheStatusViewThenTheSiteView) {
  rig.SendFirmware("2.17");
  rig.SendSerial("K40321");
  QApplication::processEvents();
  TakeSnapshot("status.jpg");
  ExpectPictureOf(*rig.Frame().StatusView(), folder.path() / "status.jpg");

  CSiteView& site = rig.SwitchToSite();
  rig.LoadPlan(WriteSmoothPlan(folder.path() / "plan.bmp"));
  rig.SendGps(true, 47.3769, 8.5417);
  ASSERT_EQ(rig.Frame().ActiveView(), &site);
  TakeSnapshot("site.jpg");
  ExpectPictureOf(site, folder.path() / "site.jpg");

  EXPECT_EQ(trail.Entries(), (std::vector<std::string>{"wave async CAMERA", "save vk000001.jpg",
                                                       "wave async CAMERA", "save vk000002.jpg"}));
  EXPECT_EQ(testing::ReadText(folder.path() / "vkimgcnt.cnt"), "3\n");
  EXPECT_TRUE(rig.messages.shown.empty());
}

// A desktop-sized window: the picture is the whole site view at its size,
// the green fix band at its top, and no scroll bar at its foot.
TEST_F(SnapshotOnTheFrame, PicturesALargeSiteViewWholeWithItsBandAndNoScrollBar) {
  CSiteView& site = rig.SwitchToSite();
  rig.Frame().resize(1000, 700);
  QApplication::processEvents();
  rig.LoadPlan(WriteSmoothPlan(folder.path() / "plan.bmp"));
  rig.SendGps(true, 47.3769, 8.5417);
  TakeSnapshot("large.jpg");
  std::string error;
  const auto picture = testing::ReadJpeg(folder.path() / "large.jpg", &error);
  ASSERT_TRUE(picture) << error;
  const QImage shown = site.viewport()->grab().toImage();
  ASSERT_GT(site.horizontalScrollBar()->height(), 0);
  ASSERT_EQ(std::pair(picture->width, picture->height), std::pair(shown.width(), shown.height()));
  EXPECT_LT(MeanAbsDifference(*picture, 0, shown, 0, shown.height()), 6.0);
  // The band's green, not the plan, in the first rows.
  const unsigned char* band = &picture->rgb[(std::size_t(2) * picture->width + 20) * 3];
  EXPECT_LT(band[0], 40);
  EXPECT_GT(band[1], 150);
  EXPECT_LT(band[2], 40);
}

}  // namespace
}  // namespace velkaro::testing
