// Plans given as a PNG or a PDF, through the real window: new plan converts
// the picture (asking for the page of a PDF of several), points are taken
// and kept beside the source, the plan is saved and opened again in a
// second run, and the projection file holds the converted bitmap byte for
// byte.
#include "gui/common/command_ids.h"
#include "gui/site_view/page_chooser_dialog.h"
#include "site/side_files.h"
#include "tests/support/gui/gui_rig.h"

#include <filesystem>

#include <QApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace velkaro::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 720, kHeight = 540;  // the demo site's plan

// Bands and squares of colour that differ across the plan.
void DrawPattern(QPainter& painter) {
  for (int i = 0; i < 12; ++i)
    painter.fillRect(i * 60, 0, 60, kHeight, QColor::fromHsv(i * 30, 200, 230));
  for (int i = 0; i < 9; ++i) painter.fillRect(i * 80, i * 60, 40, 40, QColor(20 * i, 0, 90));
}

class PlanImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.Start();
    view_ = &rig_.SwitchToSite();
  }
  // Captures, saves to site.vlk, opens that in a second run, and checks the
  // plan came back and the file holds `bitmap` byte for byte.
  void CaptureSaveAndReopen(const std::string& bitmap) {
    rig_.CaptureFive();
    const std::string vlk = rig_.Path("site.vlk");
    rig_.files.answers.push_back(vlk);
    rig_.Run(ID_SAVE_PROJECTION);
    ASSERT_TRUE(rig_.messages.shown.empty()) << rig_.messages.shown.front();
    const QImage saved = view_->PlanBitmap();

    Rig other;
    other.Start();
    CSiteView& view = other.OpenProjection(vlk);
    // The plan the projection file gave back is the converted bitmap, and
    // shows as the plan did before the save, with its points.
    const std::string expanded = SideFilePath(vlk, SideFile::kExpandedPlan);
    EXPECT_EQ(other.projection.m_strPlanPath, expanded);
    EXPECT_TRUE(ReadAll(expanded) == ReadAll(bitmap));
    EXPECT_EQ(other.projection.m_taps.size(), 5u);
    EXPECT_TRUE(other.messages.shown.empty());
    ASSERT_TRUE(view.PlanLoaded());
    EXPECT_EQ(view.PlanBitmap(), saved);
  }

  Rig rig_;
  CSiteView* view_ = nullptr;
};

TEST_F(PlanImportTest, APngPlanIsConvertedTakenSavedAndReopened) {
  QImage picture(kWidth, kHeight, QImage::Format_RGB888);
  QPainter painter(&picture);
  DrawPattern(painter);
  painter.end();
  const std::string png = rig_.Path("campus.png");
  ASSERT_TRUE(picture.save(QString::fromStdString(png), "PNG"));

  rig_.LoadPlan(png);
  ASSERT_TRUE(rig_.messages.shown.empty()) << rig_.messages.shown.front();
  ASSERT_TRUE(view_->PlanLoaded());
  EXPECT_EQ(view_->PlanBitmap().convertToFormat(QImage::Format_RGB888), picture);
  EXPECT_EQ(rig_.projection.m_strPlanPath, png + ".bmp");
  CaptureSaveAndReopen(png + ".bmp");
  EXPECT_TRUE(fs::exists(png + ".points")) << "the points follow the file the user chose";
  EXPECT_FALSE(fs::exists(png + ".bmp.points"));
}

TEST_F(PlanImportTest, APdfOfTwoPagesAsksForThePageThenItsPageIsThePlan) {
  const std::string pdf = rig_.Path("campus.pdf");
  {
    QPdfWriter writer(QString::fromStdString(pdf));
    writer.setResolution(72);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setPageSize(QPageSize(QSizeF(200, 100), QPageSize::Point));
    QPainter painter(&writer);
    painter.fillRect(0, 0, 200, 100, Qt::red);
    writer.setPageSize(QPageSize(QSizeF(kWidth, kHeight), QPageSize::Point));
    writer.newPage();
    DrawPattern(painter);
  }
  int pages_offered = 0;
  QTimer::singleShot(0, [&] {
    auto* chooser = qobject_cast<CPageChooser*>(QApplication::activeModalWidget());
    ASSERT_NE(chooser, nullptr);
    pages_offered = chooser->PageBox()->maximum();
    chooser->PageBox()->setValue(2);
    chooser->DpiBox()->setValue(72);
    chooser->accept();
  });
  rig_.LoadPlan(pdf);
  EXPECT_EQ(pages_offered, 2);
  ASSERT_TRUE(rig_.messages.shown.empty()) << rig_.messages.shown.front();
  ASSERT_TRUE(view_->PlanLoaded());
  EXPECT_EQ(view_->PlanBitmap().size(), QSize(kWidth, kHeight));
  // Page 2's pattern, not page 1's red: a band of hue 0 (red) only at the left.
  EXPECT_NE(view_->PlanBitmap().pixelColor(700, 300), QColor(Qt::red));
  const std::string bitmap = pdf + ".page2.72dpi.bmp";
  EXPECT_EQ(rig_.projection.m_strPlanPath, bitmap);
  CaptureSaveAndReopen(bitmap);
  EXPECT_TRUE(fs::exists(pdf + ".page2.72dpi.points"));
}

TEST_F(PlanImportTest, AFileNoReaderTakesIsRefusedInWordsAndTheOldPlanStays) {
  rig_.LoadPlan(rig_.WritePlan("plan.bmp", 300, 200));
  const QImage before = view_->PlanBitmap();
  const std::string notes = rig_.Path("notes.txt");
  WriteText(notes, "not a plan\n");
  rig_.LoadPlan(notes);
  EXPECT_EQ(rig_.messages.shown,
            std::vector<std::string>{notes +
                                     " is not a picture Velkaro can read (PNG, JPEG, TIFF, PDF "
                                     "or BMP)."});
  EXPECT_EQ(view_->PlanBitmap(), before);
  EXPECT_EQ(rig_.projection.m_strPlanPath, rig_.Path("plan.bmp"));
}

}  // namespace
}  // namespace velkaro::testing
