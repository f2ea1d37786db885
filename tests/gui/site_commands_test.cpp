// The site view's commands through the real widgets: the file prompts and
// their answers, new plan, save and open round trip, bad bitmaps and bad
// projection files, and the point list.
#include "gui/common/command_ids.h"
#include "gui/qt_platform/qt_file_prompt.h"
#include "gui/qt_platform/qt_wave_player.h"
#include "gui/site_view/point_list_dialog.h"
#include "simulator/demo_site.h"
#include "site/reference_points_file.h"
#include "site/side_files.h"
#include "tests/support/gui/gui_rig.h"

#include <filesystem>
#include <tuple>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>

#include <gtest/gtest.h>

namespace velkaro::testing {
namespace {

const char kBitmapFilter[] = "Bitmap Files (*.bmp)|*.bmp|All Files (*.*)|*.*||";
// New plan lists every kind of plan first, then bitmaps alone, then all files.
const char kPlanFilter[] =
    "Plans (*.bmp *.png *.jpg *.jpeg *.tif *.tiff *.pdf *.webp *.jp2 *.gif)|"
    "*.bmp;*.png;*.jpg;*.jpeg;*.tif;*.tiff;*.pdf;*.webp;*.jp2;*.gif|"
    "Bitmap Files (*.bmp)|*.bmp|All Files (*.*)|*.*||";
const char kProjectionFilter[] = "Velkaro Projection Files (*.vlk)|*.vlk|All Files (*.*)|*.*||";

class SiteCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.Start();
    view_ = &rig_.SwitchToSite();
  }
  void Run(int id) { rig_.Run(id); }
  void CaptureFive() { rig_.CaptureFive(); }

  Rig rig_;
  CSiteView* view_ = nullptr;
};

// Each file command asks with its own filter and extension; cancelled, none
// changes the plan, the view, the points or the folder.
TEST_F(SiteCommandsTest, EachFileCommandAsksWithItsFilterAndCancelledChangesNothing) {
  const std::string plan = rig_.WritePlan("plan.bmp", 300, 200);
  rig_.LoadPlan(plan);
  CaptureFive();
  rig_.plan.ZoomIn();
  const QImage before = view_->OnDraw();
  const PlanRect view_before = rig_.plan.GetView();
  const auto entries_before = FileNames(rig_.dir.path());
  rig_.files.requests.clear();
  for (int id : {ID_NEW_PROJECTION, ID_OPEN_PROJECTION, ID_SAVE_PROJECTION}) Run(id);
  EXPECT_EQ(view_->OnDraw(), before);
  EXPECT_EQ(rig_.plan.GetView().left, view_before.left);
  EXPECT_EQ(rig_.plan.GetZoom(), 2);
  EXPECT_EQ(rig_.projection.m_taps.size(), 5u);
  EXPECT_EQ(rig_.projection.m_strPlanPath, plan);
  EXPECT_TRUE(rig_.messages.shown.empty());
  EXPECT_EQ(FileNames(rig_.dir.path()), entries_before);

  const auto& asked = rig_.files.requests;
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(std::tuple(asked[0].save, asked[0].filter, asked[0].default_ext),
            std::tuple(false, std::string(kPlanFilter), std::string("BMP")));
  EXPECT_EQ(std::tuple(asked[1].save, asked[1].filter, asked[1].default_ext),
            std::tuple(false, std::string(kProjectionFilter), std::string("VLK")));
  EXPECT_EQ(std::tuple(asked[2].save, asked[2].filter, asked[2].default_ext),
            std::tuple(true, std::string(kProjectionFilter), std::string(".vlk")));
  EXPECT_TRUE(asked[2].overwrite_prompt);
}

// Another plan keeps the points taken on the last one only when the user
// says so; otherwise it starts with its own journal's points, or none, and
// the last plan's journal stays as it was.
TEST_F(SiteCommandsTest, ANewPlanStartsAtZoomOneFromTheTopLeftSquareAndKeepsThePointsIfAsked) {
  rig_.LoadPlan(rig_.WritePlan("first.bmp", 300, 200));
  CaptureFive();
  rig_.plan.ZoomIn();
  const std::string second = rig_.WritePlan("second.bmp", 720, 540);
  rig_.LoadPlan(second);
  EXPECT_EQ(rig_.messages.asked, std::vector<std::string>{
                                     "Keep the 5 reference points taken on the previous plan "
                                     "for this plan?"});
  const PlanRect client = view_->ClientRect();
  const int s = std::min(client.right, client.bottom);
  EXPECT_EQ(rig_.plan.GetZoom(), 1);
  EXPECT_EQ(rig_.plan.GetView().right, s);
  EXPECT_EQ(rig_.plan.GetView().bottom, s);
  EXPECT_EQ(view_->horizontalScrollBar()->value(), s / 2);
  EXPECT_EQ(view_->verticalScrollBar()->value(), s / 2);
  EXPECT_EQ(rig_.projection.m_taps.size(), 5u);
  EXPECT_EQ(rig_.projection.m_strPlanPath, second);
  EXPECT_EQ(view_->PlanBitmap().size(), QSize(720, 540));

  const std::string first_journal = testing::ReadText(rig_.Path("first.bmp.points"));
  rig_.messages.answer_yes = false;
  rig_.messages.asked.clear();
  rig_.LoadPlan(rig_.WritePlan("third.bmp", 400, 300));
  EXPECT_TRUE(rig_.projection.m_taps.empty());
  EXPECT_EQ(rig_.messages.asked.size(), 1u);  // no journal of its own to offer
  EXPECT_EQ(testing::ReadText(rig_.Path("first.bmp.points")), first_journal);
  // Back on the first plan, with nothing taken: its journal is offered.
  rig_.messages.asked.clear();
  rig_.LoadPlan(rig_.Path("first.bmp"));
  EXPECT_EQ(rig_.messages.asked,
            std::vector<std::string>{"Restore 5 reference points saved for this plan?"});
}

// A plan's journal with a row that cannot be read is set aside whole, with
// what was wrong said, and the rows that could be read are offered; so are
// a plan's own points when the ones from the last plan are kept instead.
TEST_F(SiteCommandsTest, AJournalNotReadWholeOrGivingWayIsSetAsideNeverOverwritten) {
  const std::string plan = rig_.WritePlan("plan.bmp", 720, 540);
  CaptureFive();
  const std::vector<CSiteProjection::_tap> five = rig_.projection.m_taps;
  std::string text = FormatReferencePoints(five, std::nullopt) + "7,45,1,-1,2\n";
  testing::WriteText(rig_.Path("plan.bmp.points"), text);
  rig_.messages.answer_yes = false;  // not the points taken before any plan
  rig_.LoadPlan(plan);
  ASSERT_EQ(rig_.messages.shown.size(), 1u);
  const std::vector<std::string> said = testing::Lines(rig_.messages.shown[0]);
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(said[0], "Row 8 of plan.bmp.points is not a reference point: enable is not 0 or 1.");
  EXPECT_EQ(said[1].rfind("It is kept as " + rig_.Path("plan.bmp.points.unread-"), 0), 0u);
  const std::string aside = said[1].substr(14, said[1].size() - 15);
  EXPECT_EQ(testing::ReadText(aside), text);
  EXPECT_EQ(rig_.messages.asked.back(), "Restore 5 reference points saved for this plan?");
  EXPECT_TRUE(rig_.projection.m_taps.empty());

  // The plan's own five, journaled anew; then another plan's two kept for it.
  rig_.messages.answer_yes = true;
  rig_.LoadPlan(rig_.WritePlan("other.bmp", 400, 300));
  rig_.LoadPlan(plan);  // nothing kept there now: nothing offered, nothing set aside
  EXPECT_EQ(rig_.messages.shown.size(), 1u);
  rig_.projection.RestorePoints(five);
  ASSERT_TRUE(rig_.projection.DeleteTap(4).ok());
  const std::string own = testing::ReadText(rig_.Path("plan.bmp.points"));
  testing::WriteText(rig_.Path("other.bmp.points"), FormatReferencePoints({five.data(), 2}, std::nullopt));
  rig_.messages.shown.clear();
  rig_.LoadPlan(rig_.Path("other.bmp"));
  EXPECT_EQ(rig_.messages.asked.back(),
            "Keep the 4 reference points taken on the previous plan for this plan?\n"
            "The 2 points saved for this plan before are then set aside.");
  ASSERT_EQ(rig_.messages.shown.size(), 1u);
  EXPECT_EQ(rig_.messages.shown[0].rfind("The points saved for this plan before are set aside.\n"
                                         "It is kept as " + rig_.Path("other.bmp.points.unread-"), 0),
            0u)
      << rig_.messages.shown[0];
  EXPECT_EQ(rig_.projection.m_taps.size(), 4u);
  EXPECT_EQ(testing::ReadText(rig_.Path("plan.bmp.points")), own);
}

// Fewer than five points are refused without a file; with five the file
// saved opens again in a second program run with the same plan.
TEST_F(SiteCommandsTest, SaveNeedsFivePointsThenOpenRestoresThePlan) {
  const std::string plan = rig_.WritePlan("campus.bmp", 720, 540);
  rig_.LoadPlan(plan);
  const std::string vlk = rig_.Path("campus.vlk");
  rig_.files.answers.push_back(vlk);
  Run(ID_SAVE_PROJECTION);
  EXPECT_EQ(rig_.messages.shown, std::vector<std::string>{"Take at least 5 points."});
  EXPECT_FALSE(QFile::exists(QString::fromStdString(vlk)));

  rig_.messages.shown.clear();
  CaptureFive();
  rig_.files.answers.push_back(vlk);
  Run(ID_SAVE_PROJECTION);
  EXPECT_TRUE(rig_.messages.shown.empty()) << rig_.messages.shown.front();
  ASSERT_TRUE(QFile::exists(QString::fromStdString(vlk)));
  EXPECT_EQ(rig_.Frame().statusBar()->currentMessage().toStdString(), "Saved " + vlk + ".");
  const QImage saved = view_->PlanBitmap();

  Rig other;
  other.Start();
  CSiteView& view = other.OpenProjection(vlk);
  EXPECT_TRUE(other.messages.shown.empty());
  ASSERT_TRUE(view.PlanLoaded());
  EXPECT_EQ(view.PlanBitmap(), saved);
  EXPECT_EQ(other.projection.m_strPlanPath, SideFilePath(vlk, SideFile::kExpandedPlan));
  EXPECT_FALSE(QApplication::overrideCursor()) << "the wait cursor ended";
}

// A save that fails once the plan's block is being made shows the cause and
// then sounds the alarm, played to its end; one whose file cannot be
// started only shows the cause.
TEST_F(SiteCommandsTest, ASaveThatFailsShowsTheCauseThenSoundsTheAlarm) {
  const std::string plan = rig_.WritePlan("plan.bmp", 300, 200);
  rig_.LoadPlan(plan);
  CaptureFive();
  const std::string block = SideFilePath(plan, SideFile::kBlock);
  ASSERT_TRUE(std::filesystem::create_directory(block));  // no block can be written
  rig_.messages.probe = [this] { return rig_.waves.played.empty(); };
  rig_.files.answers.push_back(rig_.Path("site.vlk"));
  Run(ID_SAVE_PROJECTION);
  EXPECT_EQ(rig_.messages.shown,
            std::vector<std::string>{FileErrorText(FileErrorCause::kBadPath, block)});
  EXPECT_EQ(rig_.messages.probed_at_ok, std::vector<bool>{true}) << "the text comes first";
  EXPECT_EQ(rig_.waves.played, std::vector<std::string>{"REDALERT"});
  EXPECT_FALSE(QFile::exists(rig_.Path("site.vlk").c_str()));

  std::filesystem::remove(block);
  rig_.messages.shown.clear();
  rig_.waves.played.clear();
  const std::string nowhere = rig_.Path("no-such-folder/site.vlk");
  rig_.files.answers.push_back(nowhere);
  Run(ID_SAVE_PROJECTION);
  EXPECT_EQ(rig_.messages.shown,
            std::vector<std::string>{FileErrorText(FileErrorCause::kFileNotFound, nowhere)});
  EXPECT_TRUE(rig_.waves.played.empty());
}

// Damaged bitmaps, a missing one and bad projection files are refused with
// the designed message; the plan shown before stays, with its path.
TEST_F(SiteCommandsTest, BadPlansAreRefusedWithTheDesignedMessageAndKeepThePlan) {
  const std::string good = rig_.WritePlan("good.bmp", 300, 200);
  rig_.LoadPlan(good);
  const QImage good_image = view_->PlanBitmap();
  const std::filesystem::path folder = VELKARO_SOURCE_DIR "/tests/data/bmpsuite/b";
  ASSERT_TRUE(std::filesystem::is_directory(folder));
  int refused = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string bad = entry.path().string();
    rig_.messages.shown.clear();
    rig_.LoadPlan(bad);
    if (rig_.messages.shown.empty()) {
      // Qt's reader makes a picture of some damaged files; then it is shown.
      EXPECT_FALSE(view_->PlanBitmap().isNull()) << bad;
      EXPECT_EQ(rig_.projection.m_strPlanPath, bad);
    } else {
      ++refused;
      EXPECT_EQ(rig_.messages.shown, std::vector<std::string>{"Cannot load " + bad + " Error (22)"})
          << bad;
    }
    rig_.LoadPlan(good);
    view_->OnDraw();  // no crash drawing whatever was kept
  }
  EXPECT_GT(refused, 5);
  rig_.messages.shown.clear();
  const std::string missing = rig_.Path("missing.bmp");
  rig_.LoadPlan(missing);
  EXPECT_EQ(rig_.messages.shown, std::vector<std::string>{"Cannot load " + missing + " Error (2)"});
  EXPECT_EQ(view_->PlanBitmap(), good_image);
  EXPECT_EQ(rig_.projection.m_strPlanPath, good);

  QFile bitmap(QString::fromStdString(good));
  ASSERT_TRUE(bitmap.open(QIODevice::ReadOnly));
  const std::pair<const char*, QByteArray> projections[] = {{"empty.vlk", QByteArray()},
                                                            {"short.vlk", QByteArray(100, '\x55')},
                                                            {"bitmap.vlk", bitmap.readAll()}};
  for (const auto& [name, bytes] : projections) {
    const std::string path = rig_.Path(name);
    QFile out(QString::fromStdString(path));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    rig_.messages.shown.clear();
    rig_.files.answers.push_back(path);
    Run(ID_OPEN_PROJECTION);
    // Its one file error, and no second one about the plan it did not give.
    EXPECT_EQ(rig_.messages.shown,
              std::vector<std::string>{"An attempt was made to access " + path + " past its end."})
        << name;
    EXPECT_EQ(view_->PlanBitmap(), good_image) << name;
    EXPECT_EQ(rig_.projection.m_strPlanPath, good) << name;
    EXPECT_FALSE(QApplication::overrideCursor());
  }
}

TEST_F(SiteCommandsTest, ThePointListShowsTheHeaderAndOneRowPerPointInCaptureOrder) {
  CaptureFive();
  rig_.projection.m_selected = 1;
  EXPECT_EQ(rig_.projection.DeleteSelectedTap().messages(), std::vector<std::string>{"Deleted."});
  QStringList rows;
  QString title;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<CProList*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    title = dialog->windowTitle();
    for (int i = 0; i < dialog->m_list->count(); ++i) rows << dialog->m_list->item(i)->text();
    dialog->reject();
  });
  Run(ID_POINT_LIST);
  EXPECT_EQ(title, "Point List");
  // The designed text first, the residuals against the fit of these four
  // points after it.
  const QStringList designed = {"X     Y       Latitude   Longitude", "060  480   45.4978  9.1004",
                                "200  140   45.4994  9.1013", "360  270   45.4988  9.1023",
                                "600  090   45.4996  9.1038"};
  ASSERT_EQ(rows.size(), designed.size());
  EXPECT_EQ(rows[0], designed[0] + CProList::kResidualHeader);
  const PointFit fit = FitPoints(rig_.projection.m_taps);
  ASSERT_TRUE(fit.fitted());
  for (int i = 1; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i], designed[i] + QString::fromStdString(ResidualColumns(fit.points[i - 1])));
  }
}

// "Delete Selected Point" deletes the selected row's point once confirmed,
// journals the rest and shows the list anew; the header row is no point.
TEST_F(SiteCommandsTest, DeleteSelectedPointDeletesTheRowsPointOnceConfirmed) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 720, 540));
  CaptureFive();
  const auto kept = rig_.projection.m_taps;
  std::vector<QStringList> shown;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<CProList*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto rows = [dialog] {
      QStringList r;
      for (int i = 0; i < dialog->m_list->count(); ++i) r << dialog->m_list->item(i)->text();
      return r;
    };
    dialog->m_list->setCurrentRow(0);
    EXPECT_FALSE(dialog->m_delete->isEnabled());
    dialog->m_list->setCurrentRow(2);
    rig_.messages.answer_yes = false;
    dialog->m_delete->click();  // declined: nothing changes
    shown.push_back(rows());
    rig_.messages.answer_yes = true;
    EXPECT_FALSE(dialog->m_redo->isEnabled());
    dialog->m_delete->click();
    shown.push_back(rows());
    // Undo in the list brings the point back, Redo deletes it again.
    dialog->m_undo->click();
    shown.push_back(rows());
    EXPECT_TRUE(dialog->m_redo->isEnabled());
    dialog->m_redo->click();
    EXPECT_EQ(rows(), shown[1]);
    dialog->reject();
  });
  Run(ID_POINT_LIST);
  EXPECT_EQ(rig_.messages.asked, (std::vector<std::string>(2, "Do you wish to delete this point?")));
  EXPECT_EQ(rig_.messages.shown, std::vector<std::string>{"Deleted."});
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].size(), 6);
  ASSERT_EQ(shown[1].size(), 5);
  EXPECT_EQ(shown[2], shown[0]);
  ASSERT_EQ(rig_.projection.m_taps.size(), 4u);
  for (size_t i = 0, k = 0; i < kept.size(); ++i) {
    if (i == 1) continue;  // the second point, on row 2
    EXPECT_EQ(int(rig_.projection.m_taps[k].x), int(kept[i].x));
    EXPECT_TRUE(shown[1][int(k) + 1].startsWith(QString::fromStdString(PointRow(kept[i]))));
    ++k;
  }
  // The journal holds what the list shows.
  const std::string journal =
      testing::ReadText(SideFilePath(rig_.projection.m_strPlanPath, SideFile::kPoints));
  EXPECT_EQ(std::count(journal.begin(), journal.end(), '\n'), 2 + 4) << journal;  // #CRS, header
  for (size_t i = 0; i < kept.size(); ++i) {
    const std::string pixel =
        "," + std::to_string(int(kept[i].x)) + ".5,-" + std::to_string(int(kept[i].y)) + ".5,";
    EXPECT_EQ(journal.find(pixel) == std::string::npos, i == 1) << pixel << "\n" << journal;
  }
}

TEST(PointRowFormat, PadsPixelsAndRoundsDegrees) {
  const std::pair<CSiteProjection::_tap, const char*> rows[] = {
      {{5, 42, 34.123456, -117.5, 0}, "005  042   34.1235  -117.5000"},
      {{1234, 7, 0.00005, 0.0, 0}, "1234  007   0.0001  0.0000"},
      {{-5, 0, -33.86786, 151.20732, 0}, "-05  000   -33.8679  151.2073"}};
  for (const auto& [tap, row] : rows) EXPECT_EQ(PointRow(tap), row);
}

TEST(FilterConversion, BecomesQtsForm) {
  EXPECT_EQ(QtFilterFromHandheld(kBitmapFilter), "Bitmap Files (*.bmp);;All Files (*)");
  EXPECT_EQ(QtFilterFromHandheld(kProjectionFilter),
            "Velkaro Projection Files (*.vlk);;All Files (*)");
  EXPECT_EQ(QtFilterFromHandheld("Pictures|*.bmp;*.dib||"), "Pictures (*.bmp *.dib)");
  EXPECT_EQ(QtFilterFromHandheld(""), "");
}

TEST(WaveLength, ComesFromTheDataChunkAndTheByteRate) {
  // 8 kHz mono 16-bit: 16000 bytes a second; 4000 data bytes last 250 ms.
  std::vector<unsigned char> wav = {'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W',  'A', 'V',
                                    'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,    1,   0,
                                    1,   0,   0x40, 0x1F, 0,   0,   0x80, 0x3E, 0,    0,   2,
                                    0,   16,  0,    'd',  'a', 't', 'a',  0xA0, 0x0F, 0,   0};
  wav.resize(wav.size() + 4000, 0);
  EXPECT_EQ(WaveLengthMs(wav.data(), wav.size()), 250);
  // A data chunk claiming more than the file holds counts what is there.
  EXPECT_EQ(WaveLengthMs(wav.data(), wav.size() - 2000), 125);
  EXPECT_EQ(WaveLengthMs(wav.data(), 30), 0);
  const unsigned char junk[] = "RIFFxxxxWAVEdata";
  EXPECT_EQ(WaveLengthMs(junk, sizeof junk - 1), 0);
}

TEST(QtWaves, PlayingWithoutAWaveOrAnAudioDeviceReturnsPromptly) {
  QtWavePlayer player;
  QElapsedTimer timer;
  timer.start();
  player.Play("NOSUCHWAVE");
  player.PlayAsync("NOSUCHWAVE");
  player.PlayAsync("PING");
  EXPECT_LT(timer.elapsed(), 1000);
  timer.restart();
  player.Play("PING");  // at most the wave's own length, audio device or not
  EXPECT_LT(timer.elapsed(), 5000);
  player.Release();
}

}  // namespace
}  // namespace velkaro::testing
