// The snapshot command on a plain widget: the order of sound, capture,
// dialog and report; the JPEG it writes; which rows of the view it holds;
// and the counter file across confirmed, cancelled and failed snapshots.
// (How views of other sizes are scaled is checked on the capture alone.)
#include "gui/snapshot/snapshot_command.h"

#include "tests/gui/snapshot/snapshot_test_support.h"
#include "tests/support/event_trail.h"
#include "tests/support/jpeg_reader.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/recording_wave_player.h"
#include "tests/support/scripted_file_prompt.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

namespace velkaro::testing {
namespace {

namespace fs = std::filesystem;
using testing::DecodedJpeg;
using testing::ReadJpeg;
using testing::ReadText;
using testing::WriteText;
using Trail = std::vector<std::string>;

class SnapshotCommandTest : public ::testing::Test {
 protected:
  SnapshotCommandTest() {
    fs::create_directories(home);
    fs::create_directories(shots);
    files.probe = WaitCursorUp;
    messages.probe = WaitCursorUp;
  }

  // Runs the command on a view showing `picture`, confirming `path` (or
  // cancelling with nullopt).
  void Snap(const QImage& picture, std::optional<std::string> path) {
    PictureView view(picture);
    files.answers.push_back(std::move(path));
    command(view);
  }

  DecodedJpeg Decode(const fs::path& path) {
    std::string error;
    std::optional<DecodedJpeg> picture = ReadJpeg(path, &error);
    if (!picture) ADD_FAILURE() << path << ": " << error;
    return picture.value_or(DecodedJpeg{});
  }

  std::string Shot(const std::string& name) const { return (shots / name).string(); }

  testing::TempFolder dir;
  fs::path home = dir.path() / "home";
  fs::path shots = dir.path() / "shots";
  fs::path counter = home / "vkimgcnt.cnt";
  testing::EventTrail trail;
  testing::RecordingWavePlayer waves{trail};
  testing::ScriptedFilePrompt files{trail};
  testing::RecordingMessageBox messages{trail};
  SnapshotCommand command{waves, files, messages, home};
};

TEST_F(SnapshotCommandTest, SoundsFirstThenAsksAndWritesABaselinePictureOverAnyOldFile) {
  WriteText(Shot("old.jpg"), "not a picture");
  QImage view(240, 285, QImage::Format_RGB32);
  view.fill(qRgb(255, 128, 0));
  Snap(view, Shot("old.jpg"));

  EXPECT_EQ(trail.Entries(), (Trail{"wave async CAMERA", "save vk000001.jpg"}));
  ASSERT_EQ(files.requests.size(), 1u);
  const testing::ScriptedFilePrompt::Request& ask = files.requests[0];
  EXPECT_TRUE(ask.save);
  EXPECT_EQ(ask.filter, "Snapshot JPEG (*.jpg)|*.jpg|All Files (*.*)|*.*||");
  EXPECT_EQ(ask.default_ext, ".JPG");
  EXPECT_FALSE(ask.overwrite_prompt) << "an existing file is replaced without asking";
  EXPECT_FALSE(ask.probed) << "the dialog is not shown under the wait cursor";
  EXPECT_FALSE(QApplication::overrideCursor()) << "the wait cursor is restored";

  // The view's colours in their order: a swapped channel shows.
  const DecodedJpeg picture = Decode(Shot("old.jpg"));
  EXPECT_EQ(picture.width, 240);
  EXPECT_EQ(picture.height, 265);
  EXPECT_EQ(picture.frame_markers, std::vector<int>{0xC0}) << "baseline";
  ASSERT_FALSE(picture.tables.empty());
  EXPECT_EQ(picture.tables[0], testing::ReferenceTables(100)[0]) << "quality 100";
  EXPECT_LT(MeanAbsDifference(picture, 0, view, 0, 265), 3.0);
}

class SnapshotRows : public SnapshotCommandTest, public ::testing::WithParamInterface<int> {};

// Rows one off from the right ones differ by 73 grey levels or more, so only
// the right selection comes out within JPEG rounding of the view.
TEST_P(SnapshotRows, HoldTheViewRowsAboveItsLowestRow) {
  const int h = GetParam();
  const QImage view = RowCodedPicture(240, h);
  Snap(view, Shot("rows.jpg"));
  const DecodedJpeg picture = Decode(Shot("rows.jpg"));
  ASSERT_EQ(picture.height, 265);

  // Window rows H - 266 to H - 2, top to bottom.
  EXPECT_LT(MeanAbsDifference(picture, 0, view, h - 266, 265), 2.0);
  // The same picture rows against the view taken one row lower and higher.
  EXPECT_GT(MeanAbsDifference(picture, 1, view, h - 266, 264), 30.0);
  EXPECT_GT(MeanAbsDifference(picture, 0, view, h - 265, 265), 30.0);
}

INSTANTIATE_TEST_SUITE_P(ViewHeights, SnapshotRows, ::testing::Values(266, 267, 285));

// A window taller or wider than the handheld's is pictured whole, at its
// size: its first rows (the bands) included, nothing below it.
TEST_F(SnapshotCommandTest, AViewPastTheLayoutIsPicturedWholeAtItsSize) {
  for (const QSize size : {QSize(240, 400), QSize(900, 500)}) {
    const QImage view = RowCodedPicture(size.width(), size.height());
    Snap(view, Shot("whole.jpg"));
    const DecodedJpeg picture = Decode(Shot("whole.jpg"));
    ASSERT_EQ(picture.width, size.width());
    ASSERT_EQ(picture.height, size.height());
    EXPECT_LT(MeanAbsDifference(picture, 0, view, 0, size.height()), 2.0) << size.width();
  }
}

struct CounterCase {
  const char* name;
  std::optional<std::string> before;  // nullopt: no counter file
  std::string proposed;
  std::string after;
  std::string proposed_next;
};

class SnapshotCounter : public SnapshotCommandTest,
                        public ::testing::WithParamInterface<CounterCase> {};

TEST_P(SnapshotCounter, ProposesTheNumberAndAdvancesItOnceSaved) {
  const CounterCase& c = GetParam();
  if (c.before) WriteText(counter, *c.before);
  Snap(RowCodedPicture(240, 285), Shot(c.proposed));
  ASSERT_EQ(files.requests.size(), 1u);
  EXPECT_EQ(files.requests[0].proposed_name, c.proposed);
  EXPECT_TRUE(fs::exists(Shot(c.proposed)));
  EXPECT_EQ(ReadText(counter), c.after);

  // Cancelled: nothing written, the counter left as it was.
  Snap(RowCodedPicture(240, 285), std::nullopt);
  ASSERT_EQ(files.requests.size(), 2u);
  EXPECT_EQ(files.requests[1].proposed_name, c.proposed_next);
  EXPECT_EQ(ReadText(counter), c.after);
  EXPECT_EQ(std::distance(fs::directory_iterator(shots), fs::directory_iterator()), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(home), fs::directory_iterator()), 1);
  EXPECT_FALSE(QApplication::overrideCursor());
  EXPECT_TRUE(messages.shown.empty()) << trail.Last();
}

INSTANTIATE_TEST_SUITE_P(
    Files, SnapshotCounter,
    ::testing::Values(CounterCase{"Missing", std::nullopt, "vk000001.jpg", "2\n", "vk000002.jpg"},
                      CounterCase{"FortyOne", "41\n", "vk000041.jpg", "42\n", "vk000042.jpg"},
                      CounterCase{"NoNumber", "snap 7\n", "vk000000.jpg", "1\n", "vk000001.jpg"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SnapshotCommandTest, ACounterThatCannotBeWrittenIsNotReportedAndStaysAsItWas) {
  // A counter folder that does not exist: the picture is still saved.
  SnapshotCommand nowhere{waves, files, messages, home / "missing"};
  PictureView view(RowCodedPicture(240, 285));
  files.answers.push_back(Shot("a.jpg"));
  nowhere(view);
  EXPECT_TRUE(fs::exists(Shot("a.jpg")));
  EXPECT_FALSE(fs::exists(home / "missing"));

  // A folder where the counter file should be.
  fs::create_directory(counter);
  Snap(RowCodedPicture(240, 285), Shot("b.jpg"));
  EXPECT_TRUE(fs::exists(Shot("b.jpg")));
  EXPECT_TRUE(fs::is_directory(counter));

  ASSERT_EQ(files.requests.size(), 2u);
  EXPECT_EQ(files.requests[0].proposed_name, "vk000001.jpg");
  EXPECT_EQ(files.requests[1].proposed_name, "vk000001.jpg");
  EXPECT_TRUE(messages.shown.empty()) << "nothing is reported: " << trail.Last();
}

TEST_F(SnapshotCommandTest, AnUnopenableFileIsReportedUnderTheWaitCursorAndUsesUpItsNumber) {
  const std::string path = (shots / "no such folder" / "vk000001.jpg").string();
  Snap(RowCodedPicture(240, 285), path);
  const std::string report = "Can't open file\"" + path + "\"";
  EXPECT_EQ(trail.Entries(), (Trail{"wave async CAMERA", "save vk000001.jpg", "ok " + report}));
  EXPECT_EQ(messages.probed_at_ok, std::vector<bool>{true});
  EXPECT_FALSE(QApplication::overrideCursor()) << "the wait cursor is restored";
  EXPECT_EQ(ReadText(counter), "2\n");
  EXPECT_FALSE(fs::exists(shots / "no such folder"));
}

}  // namespace
}  // namespace velkaro::testing
