// The plan bitmap reader against Qt's own BMP reader, which it replaces for
// plain bitmaps: the same pixels for every file of the bitmap suite's good
// and questionable folders (or refused by both), no crash on the bad ones,
// and the designed error codes.
#include "gui/site_view/plan_bitmap.h"

#include "compression/compression.h"
#include "gui/site_view/plan_load.h"
#include "image/bmp_writer.h"
#include "link/gps_data.h"
#include "link/published.h"
#include "platform/atomic_file.h"
#include "site/projection_file_format.h"
#include "tests/support/temp_folder.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <QColor>
#include <QImageReader>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

const std::filesystem::path kSuite = VELKARO_SOURCE_DIR "/tests/data/bmpsuite";

std::vector<std::filesystem::path> FilesOf(const char* folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(kSuite / folder)) {
    if (entry.path().extension() == ".bmp") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// What the site view showed before: Qt's reader, as RGB.
QImage QtsPicture(const std::filesystem::path& path) {
  QImageReader reader(QString::fromStdString(path.string()), "bmp");
  reader.setDecideFormatFromContent(false);
  QImage image;
  if (!reader.read(&image)) return {};
  return image.convertToFormat(QImage::Format_RGB32);
}

// The picture a plan file gives: uncompressed 24-bit rows as they are stored
// (BGR888), every other kind converted to RGB888.
QImage::Format PlanFormat(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  uint8_t head[34] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const uint32_t header = head[14] | head[15] << 8;
  const int bits = header == 12 ? head[24] : head[28];
  const uint32_t coding = header == 12 ? 0 : head[30];
  return bits == 24 && coding == 0 ? QImage::Format_BGR888 : QImage::Format_RGB888;
}

// The first pixel that differs, or an empty string.
std::string FirstDifference(const QImage& ours, const QImage& theirs) {
  if (ours.size() != theirs.size()) return "size differs";
  for (int y = 0; y < ours.height(); ++y) {
    for (int x = 0; x < ours.width(); ++x) {
      if (qRgb(qRed(ours.pixel(x, y)), qGreen(ours.pixel(x, y)), qBlue(ours.pixel(x, y))) !=
          qRgb(qRed(theirs.pixel(x, y)), qGreen(theirs.pixel(x, y)), qBlue(theirs.pixel(x, y)))) {
        return "pixel " + std::to_string(x) + "," + std::to_string(y) + ": " +
               QColor(ours.pixel(x, y)).name().toStdString() + " against " +
               QColor(theirs.pixel(x, y)).name().toStdString();
      }
    }
  }
  return {};
}

class SuiteFolder : public ::testing::TestWithParam<const char*> {};

TEST_P(SuiteFolder, GivesQtsPixelsOrIsRefusedByBoth) {
  QImageReader::setAllocationLimit(512);
  for (const auto& path : FilesOf(GetParam())) {
    SCOPED_TRACE(path.filename().string());
    const LoadedPlan ours = LoadPlanBitmap(path.string());
    // Where Qt's reader shows unset memory (pixels a coded file leaves
    // undefined; an OS/2 palette shorter than 256 entries), the suite's own
    // rendering is the reference: with palette entry 0, or the full palette.
    std::filesystem::path reference = kSuite / "html" / (path.stem().string() + "-0.png");
    if (path.filename() == "pal8os2sp.bmp") reference = kSuite / "html" / "pal8.png";
    const QImage theirs = std::filesystem::exists(reference)
                              ? QImage(QString::fromStdString(reference.string()))
                              : QtsPicture(path);
    if (theirs.isNull()) {
      EXPECT_TRUE(ours.image.isNull());
      EXPECT_EQ(ours.status.last_error(), EINVAL);
      continue;
    }
    ASSERT_FALSE(ours.image.isNull()) << "error " << ours.status.last_error();
    EXPECT_EQ(ours.status.last_error(), 0);
    EXPECT_EQ(ours.image.format(), PlanFormat(path));
    EXPECT_EQ(FirstDifference(ours.image, theirs), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Bmpsuite, SuiteFolder, ::testing::Values("g", "q"));

// A projection file's plan is built while its block expands: the same
// pixels as reading the expanded bitmap, shown early only when they were
// built that way.
TEST_P(SuiteFolder, AProjectionFilesPlanIsTheBitmapsPictureBuiltAsItExpands) {
  testing::TempFolder dir;
  int previewed = 0;
  for (const std::filesystem::path& path : FilesOf(GetParam())) {
    SCOPED_TRACE(path.filename().string());
    const LoadedPlan read = LoadPlanBitmap(path.string());
    if (read.image.isNull()) continue;  // refused either way
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bitmap{std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>()};
    // The header is never read on open: zeros and the block will do.
    std::vector<uint8_t> file(kProjectionBlockOffset, 0);
    CCompression codec("plan", "block");
    std::vector<uint8_t> block;
    ASSERT_TRUE(codec.CompressBytes(bitmap, block).ok);
    file.insert(file.end(), block.begin(), block.end());
    const std::string vlk = dir.File("plan.vlk");
    ASSERT_EQ(WriteFileAtomically(vlk, file.data(), file.size()), FileErrorCause::kNone);

    QImage preview;
    const PlanLoad load =
        LoadProjectionFile(vlk, {}, [&](const QImage& picture) { preview = picture; });
    ASSERT_TRUE(load.opened.ok());
    ASSERT_EQ(load.plan.status.last_error(), 0);
    EXPECT_EQ(FirstDifference(load.plan.image, read.image), "");
    EXPECT_EQ(load.plan.image.format(), read.image.format());
    if (!preview.isNull()) {
      ++previewed;
      EXPECT_EQ(preview, load.plan.image);
    }
  }
  if (std::string(GetParam()) == "g") {
    EXPECT_GE(previewed, 20) << "plain bitmaps are built early";
  }
}

TEST(PlanBitmap, PlainBitmapsAreReadInOnePassWithProgress) {
  // Only the one-pass reader reports progress; these are the kinds plans are.
  for (const char* name : {"rgb24.bmp", "rgb32.bmp", "rgb32bfdef.bmp", "pal8.bmp", "pal4.bmp",
                           "pal1.bmp", "pal8topdown.bmp"}) {
    SCOPED_TRACE(name);
    std::vector<double> reported;
    const LoadedPlan plan = LoadPlanBitmap((kSuite / "g" / name).string(),
                                           [&](double done) { reported.push_back(done); });
    ASSERT_EQ(plan.status.last_error(), 0);
    ASSERT_FALSE(reported.empty());
    EXPECT_DOUBLE_EQ(reported.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  }
}

TEST(PlanBitmap, ErrorCodesSayWhyAndBadFilesNeverCrash) {
  QImageReader::setAllocationLimit(512);
  for (const auto& path : FilesOf("b")) {
    SCOPED_TRACE(path.filename().string());
    const LoadedPlan plan = LoadPlanBitmap(path.string());
    EXPECT_EQ(plan.status.ok(), plan.status.last_error() == 0) << plan.status.message();
    if (plan.status.last_error() == 0) {
      EXPECT_EQ(plan.image.format(), PlanFormat(path));
    } else {
      EXPECT_TRUE(plan.image.isNull());
      EXPECT_TRUE(plan.status.last_error() == EINVAL || plan.status.last_error() == ENOMEM) << plan.status.last_error();
      EXPECT_EQ(plan.status.code(),
                plan.status.last_error() == ENOMEM ? Status::Code::kNoMemory : Status::Code::kInvalid);
    }
  }
  testing::TempFolder dir;
  const std::string folder = dir.path().string();
  const LoadedPlan missing = LoadPlanBitmap(folder + "/missing.bmp");
  EXPECT_EQ(missing.status.last_error(), ENOENT);
  EXPECT_EQ(missing.status.cause(), FileErrorCause::kFileNotFound);
  EXPECT_EQ(missing.status.path(), folder + "/missing.bmp");
  EXPECT_EQ(LoadPlanBitmap(folder).status.last_error(), EISDIR);

  // A picture past the memory limit is refused before it is allocated, by
  // the one-pass reader (24-bit) and by Qt's (RLE) alike.
  QImageReader::setAllocationLimit(1);
  const LoadedPlan big = LoadPlanBitmap((kSuite / "g" / "rgb24.bmp").string());
  EXPECT_EQ(big.status.last_error(), 0) << "127 x 64 is far below 1 MB";
  QImage wide(1000, 400, QImage::Format_RGB888);
  wide.fill(Qt::gray);
  const std::string wide_path = folder + "/wide.bmp";
  ASSERT_TRUE(wide.save(QString::fromStdString(wide_path), "BMP"));
  const LoadedPlan refused = LoadPlanBitmap(wide_path);
  EXPECT_EQ(refused.status.last_error(), ENOMEM);
  EXPECT_EQ(refused.status.code(), Status::Code::kNoMemory);
  EXPECT_EQ(refused.status.message(), "wide.bmp is 1000 x 400 pixels; showing it needs 2 MB of "
                                      "memory, more than the 1 MB that can be had now.");
  EXPECT_TRUE(refused.image.isNull());
  QImageReader::setAllocationLimit(512);
  const LoadedPlan taken = LoadPlanBitmap(wide_path);
  ASSERT_EQ(taken.status.last_error(), 0);
  EXPECT_EQ(taken.image.size(), QSize(1000, 400));
  EXPECT_EQ(taken.image.pixel(999, 399), QColor(Qt::gray).rgb());
}

// What the one BMP writer writes, the row reader and Qt's reader read as
// the same picture: the one written.
TEST(PlanBitmap, TheWritersFilesAreReadAsWrittenByBothReaders) {
  testing::TempFolder dir;
  const std::string path = dir.File("written.bmp");
  QImage written(37, 9, QImage::Format_RGB888);
  for (int y = 0; y < written.height(); ++y)
    for (int x = 0; x < written.width(); ++x)
      written.setPixel(x, y, qRgb(x * 7 + y, 255 - x * 5, y * 29));
  const Status status = image::WriteBmp(
      path, {.width = written.width(), .height = written.height()}, [&](int32_t row, uint8_t* rgb) {
        std::memcpy(rgb, written.constScanLine(row), size_t(written.width()) * 3);
      });
  ASSERT_TRUE(status.ok()) << status.message();
  const LoadedPlan ours = LoadPlanBitmap(path);
  ASSERT_TRUE(ours.status.ok()) << ours.status.message();
  EXPECT_EQ(FirstDifference(ours.image, written), "");
  EXPECT_EQ(FirstDifference(QtsPicture(path), written), "");
}

}  // namespace
}  // namespace velkaro
