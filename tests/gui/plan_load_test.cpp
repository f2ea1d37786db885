// Loading a large plan off the window's thread: the window keeps handling
// events and repainting, shows the busy cursor, keeps the old plan until the
// new one is ready, and refuses taps and site commands meanwhile.
#include "compression/compression.h"
#include "gui/common/command_ids.h"
#include "image/bmp_writer.h"
#include "platform/atomic_file.h"
#include "site/projection_file_format.h"
#include "site/side_files.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/gui/gui_rig.h"

#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>
#include <vector>

#include <QApplication>
#include <QEvent>
#include <QImageReader>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace velkaro::testing {
namespace {

// A 24-bit plan written row by row, far faster than QImage::save for the
// size that makes a load take a noticeable time: blue is the stored row's
// number (rows are stored bottom up), green the column.
void WriteBigPlan(const std::string& path, int w, int h) {
  const Status written =
      image::WriteBmp(path, {.width = w, .height = h}, [w, h](int32_t row, uint8_t* rgb) {
        for (int x = 0; x < w; ++x) {
          rgb[x * 3] = 0x40;
          rgb[x * 3 + 1] = uint8_t(x);
          rgb[x * 3 + 2] = uint8_t(h - 1 - row);
        }
      });
  ASSERT_TRUE(written.ok()) << written.message();
}

TEST(PlanLoad, TheWindowRepaintsAndRefusesTapsWhileALargePlanLoads) {
  Rig rig;
  rig.Start();
  CSiteView& view = rig.SwitchToSite();
  rig.LoadPlan(rig.WritePlan("small.bmp", 300, 200));
  const QImage small = view.PlanBitmap();
  ASSERT_FALSE(small.isNull());
  const std::string big = rig.Path("big.bmp");
  WriteBigPlan(big, 7000, 7000);  // 147 MB

  PaintCounter counter;
  view.viewport()->installEventFilter(&counter);
  rig.files.answers.push_back(big);
  view.OnCommand(ID_NEW_PROJECTION);

  ASSERT_TRUE(view.LoadInProgress()) << "the command returned before the plan was read";
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
  EXPECT_EQ(view.PlanBitmap(), small) << "the old plan stays until the new one is ready";

  // A tap and a site command meanwhile are refused with a message and
  // change nothing.
  rig.SendGps(true, 45.5, 9.1);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(100, 100));
  view.OnCommand(ID_ZOOM_IN);
  EXPECT_TRUE(rig.projection.m_taps.empty());
  EXPECT_EQ(rig.plan.GetZoom(), 1);
  ASSERT_EQ(rig.messages.shown.size(), 2u);
  EXPECT_EQ(rig.messages.shown[0], "A plan is loading. Wait until it is ready.");

  // The event loop runs while the worker reads: every update asked for is
  // painted before the plan arrives.
  int paints_while_loading = 0;
  while (view.LoadInProgress()) {
    view.viewport()->update();
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    if (view.LoadInProgress()) paints_while_loading = counter.paints;
  }
  EXPECT_GE(paints_while_loading, 2);

  ASSERT_TRUE(view.PlanLoaded());
  EXPECT_EQ(view.PlanBitmap().size(), QSize(7000, 7000));
  // A 24-bit plan's rows are shown as they are stored, blue first.
  EXPECT_EQ(view.PlanBitmap().format(), QImage::Format_BGR888);
  // Bottom-up: the last stored row (number 6999, blue 6999 % 256) is the top.
  EXPECT_EQ(view.PlanBitmap().pixel(5, 0), qRgb(0x40, 5, 6999 % 256));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(rig.projection.m_strPlanPath, big);
  view.viewport()->removeEventFilter(&counter);
}

// A projection file whose plan is whole but whose block side file cannot be
// written (a file-size limit stands in for a full disk) is refused after the
// picture was built: the message names the side file and the old plan comes
// back, with its path.
TEST(PlanLoad, AProjectionFileWhoseSideFilesFailAfterThePictureLeavesTheOldPlan) {
  Rig rig;
  rig.Start();
  CSiteView& view = rig.SwitchToSite();
  const std::string small_path = rig.WritePlan("small.bmp", 300, 200);
  rig.LoadPlan(small_path);
  const QImage small = view.PlanBitmap();
  const QImage shown = view.OnDraw();

  // Noise codes at 8 bits a byte, so the block is longer than the plan and
  // a limit between the two lets the plan's side file through but not the
  // block's.
  std::vector<uint8_t> bitmap = image::BmpHeader({.width = 600, .height = 600});
  const size_t pixels_at = bitmap.size();
  bitmap.resize(pixels_at + 600 * 600 * 3);
  uint32_t seed = 5;
  for (size_t i = pixels_at; i < bitmap.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    bitmap[i] = uint8_t(seed >> 24);
  }
  std::vector<uint8_t> file(kProjectionBlockOffset, 0);  // the header is not read on open
  std::vector<uint8_t> block;
  CCompression codec("plan", "block");
  ASSERT_TRUE(codec.CompressBytes(bitmap, block).ok);
  ASSERT_GT(block.size(), bitmap.size() + 512);
  file.insert(file.end(), block.begin(), block.end());
  const std::string vlk = rig.Path("noise.vlk");
  ASSERT_EQ(WriteFileAtomically(vlk, file.data(), file.size()), FileErrorCause::kNone);

  {
    testing::FileSizeLimit limit(bitmap.size() + 512);
    ASSERT_TRUE(limit.set());
    rig.files.answers.push_back(vlk);
    view.OnCommand(ID_OPEN_PROJECTION);
    view.WaitForLoad();
  }

  // The file error alone: the plan the file did not give is no second one.
  EXPECT_EQ(rig.messages.shown,
            std::vector<std::string>{"Disk full while accessing " + vlk + "c."});

  // A plan bigger than the memory that can be had is refused with its size
  // before any side file is written.
  rig.messages.shown.clear();
  QImageReader::setAllocationLimit(1);
  rig.files.answers.push_back(vlk);
  view.OnCommand(ID_OPEN_PROJECTION);
  view.WaitForLoad();
  QImageReader::setAllocationLimit(0);
  EXPECT_EQ(rig.messages.shown,
            std::vector<std::string>{"noise.vlk holds a plan of 2 MB; showing it needs more memory "
                                     "than the 1 MB that can be had now."});
  EXPECT_EQ(view.PlanBitmap(), small);
  EXPECT_FALSE(std::filesystem::exists(SideFilePath(vlk, SideFile::kExpandedPlan)));
  EXPECT_EQ(view.PlanBitmap(), small);
  EXPECT_EQ(view.OnDraw(), shown) << "the picture built for the refused plan is gone";
  EXPECT_EQ(rig.projection.m_strPlanPath, small_path);
  EXPECT_FALSE(std::filesystem::exists(SideFilePath(vlk, SideFile::kExpandedPlan)))
      << "all or nothing";
  EXPECT_FALSE(std::filesystem::exists(SideFilePath(vlk, SideFile::kBlock)));
}

// A projection file's plan is taken, and taps and commands with it, while
// the worker is held before it commits the side files; a save then waits
// for the commit (a save that did not would find no plan to compress). A
// commit that fails is said as a load would say it, and the plan and its
// points stay, but saves are refused until the file is opened again.
TEST(PlanLoad, TapsAreTakenBeforeTheSideFilesAreInPlaceAndASaveWaitsForThem) {
  Rig saver;
  saver.Start();
  saver.SwitchToSite();
  const std::string plan = saver.WritePlan("campus.bmp", 720, 540);
  saver.LoadPlan(plan);
  saver.CaptureFive();
  saver.files.answers.push_back(saver.Path("campus.vlk"));
  saver.Run(ID_SAVE_PROJECTION);
  Rig rig;
  rig.Start();
  CSiteView& view = rig.SwitchToSite();
  const std::string vlk = rig.Path("site.vlk");
  std::filesystem::copy_file(saver.Path("campus.vlk"), vlk);
  const std::string expanded = SideFilePath(vlk, SideFile::kExpandedPlan);
  auto release = std::make_shared<std::promise<void>>();
  view.HoldSideFilesCommit([held = release->get_future().share()] { held.wait(); });
  rig.files.answers.push_back(vlk);
  view.OnCommand(ID_OPEN_PROJECTION);
  while (view.LoadInProgress()) QApplication::processEvents(QEventLoop::AllEvents, 20);

  EXPECT_TRUE(view.CommittingSideFiles());
  EXPECT_EQ(view.PlanBitmap().size(), QSize(720, 540));
  EXPECT_FALSE(std::filesystem::exists(expanded));
  EXPECT_FALSE(std::filesystem::exists(SideFilePath(vlk, SideFile::kBlock)));
  rig.SendGps(true, 45.5, 9.1);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(100, 100));
  EXPECT_EQ(CSiteProjection::ReadPoints(SideFilePath(vlk, SideFile::kPoints)).size(), 1u);
  view.OnCommand(ID_UNDO);
  rig.CaptureFive();
  rig.files.answers.push_back(rig.Path("saved.vlk"));
  QTimer::singleShot(0, [release] { release->set_value(); });
  view.OnCommand(ID_SAVE_PROJECTION);
  EXPECT_TRUE(rig.messages.shown.empty()) << rig.messages.shown.front();
  EXPECT_EQ(ReadAll(rig.Path("saved.vlk")), ReadAll(saver.Path("campus.vlk")));
  EXPECT_EQ(ReadAll(expanded), ReadAll(plan));

  // A folder takes the plan's name while it is being written.
  view.HoldSideFilesCommit([expanded] { std::filesystem::create_directories(expanded + "/in"); });
  std::filesystem::remove(expanded);
  rig.files.answers.push_back(vlk);
  rig.Run(ID_OPEN_PROJECTION);
  rig.files.answers.push_back(rig.Path("saved.vlk"));
  rig.Run(ID_SAVE_PROJECTION);
  EXPECT_EQ(rig.messages.shown,
            (std::vector<std::string>{FileErrorText(FileErrorCauseFromErrno(EISDIR), expanded),
                                      "The plan of site.vlk could not be written beside it, so it "
                                      "cannot be saved. Open site.vlk again, then save."}));
  EXPECT_EQ(rig.projection.m_taps.size(), 5u);
  EXPECT_EQ(view.PlanBitmap().size(), QSize(720, 540));
}

}  // namespace
}  // namespace velkaro::testing
