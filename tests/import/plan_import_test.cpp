// Plans given as other pictures: the bundled bitmaps written as PNG, TIFF
// and JPEG with GDAL and imported back give the bitmap reader's pixels (the
// lossless kinds exactly); a PDF gives the page asked for at the resolution
// asked for; a file no reader takes, or one that breaks off, leaves nothing;
// the converted bitmap is kept beside the source and reused while newer.
#include "import/pdf_pages.h"
#include "import/plan_import.h"
#include "import/raster_to_bmp.h"
#include "tests/image/plan_file.h"
#include "tests/import/picture_files.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::plan_import {
namespace {

namespace fs = std::filesystem;
using testing::PictureKind;
using testing::Pixels;
using testing::ReadBmpPixels;
using testing::TempFolder;

// The bits a pixel a bitmap's header states.
int BitsPerPixel(const std::string& path) {
  const std::vector<uint8_t> bytes = testing::ReadAll(path);
  return bytes.size() > 29 ? bytes[28] | bytes[29] << 8 : 0;
}

using Case = std::tuple<std::string, std::string, PictureKind>;

class LosslessImport : public ::testing::TestWithParam<Case> {};

TEST_P(LosslessImport, GivesTheBitmapsOwnPixelsAs24Bits) {
  const auto& [name, driver, kind] = GetParam();
  const Pixels reference = ReadBmpPixels(testing::kBmpSuite + "g/" + name);
  ASSERT_EQ(reference.error, "");
  TempFolder dir;
  const std::string picture = dir.File("plan." + driver);
  ASSERT_EQ(testing::WritePicture(driver, picture, reference, kind), "");

  const std::string out = dir.File("plan.bmp");
  const Status converted = ConvertToBmp(picture, out);
  ASSERT_TRUE(converted.ok()) << converted.message();
  const Pixels imported = ReadBmpPixels(out);
  ASSERT_EQ(imported.error, "");
  EXPECT_EQ(imported.width, reference.width);
  EXPECT_EQ(imported.height, reference.height);
  EXPECT_TRUE(imported.rgb == reference.rgb);
  EXPECT_EQ(BitsPerPixel(out), 24);
}

INSTANTIATE_TEST_SUITE_P(
    Suite, LosslessImport,
    ::testing::Values(Case{"rgb24.bmp", "PNG", PictureKind::kRgb},
                      Case{"rgb24.bmp", "GTiff", PictureKind::kRgb},
                      Case{"rgb32.bmp", "GTiff", PictureKind::kWide},
                      Case{"rgb16-565.bmp", "PNG", PictureKind::kRgb},
                      Case{"pal8.bmp", "PNG", PictureKind::kPalette},
                      Case{"pal4.bmp", "GTiff", PictureKind::kPalette},
                      Case{"pal1.bmp", "PNG", PictureKind::kPalette},
                      Case{"pal8gs.bmp", "PNG", PictureKind::kGrey},
                      Case{"pal4gs.bmp", "GTiff", PictureKind::kGrey},
                      Case{"pal8topdown.bmp", "GTiff", PictureKind::kRgb}),
    [](const auto& info) {
      std::string name = std::get<0>(info.param) + "_" + std::get<1>(info.param);
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

TEST(LossyImport, AJpegKeepsTheSizeAndComesCloseToThePixels) {
  const Pixels reference = ReadBmpPixels(testing::kBmpSuite + "g/rgb24.bmp");
  TempFolder dir;
  ASSERT_EQ(testing::WritePicture("JPEG", dir.File("plan.jpg"), reference, PictureKind::kRgb,
                                  {"QUALITY=95"}),
            "");
  ASSERT_TRUE(ConvertToBmp(dir.File("plan.jpg"), dir.File("plan.bmp")).ok());
  const Pixels imported = ReadBmpPixels(dir.File("plan.bmp"));
  ASSERT_EQ(imported.width, reference.width);
  ASSERT_EQ(imported.height, reference.height);
  double difference = 0;
  for (size_t i = 0; i < reference.rgb.size(); ++i)
    difference += std::abs(int(imported.rgb[i]) - int(reference.rgb[i]));
  EXPECT_LT(difference / double(reference.rgb.size()), 6.0);
}

// Page 1 is red, 3000 x 30 points; page 2 blue, 120 x 240 points, with a
// green square in its top-left corner.
std::vector<testing::PdfPage> TwoPages() {
  return {{3000, 30, {{0, 0, 3000, 30, 1, 0, 0}}},
          {120, 240, {{0, 0, 120, 240, 0, 0, 1}, {0, 200, 40, 40, 0, 1, 0}}}};
}

const uint8_t* At(const Pixels& p, int x, int y) { return p.rgb.data() + 3 * (size_t(y) * p.width + x); }

TEST(PdfImport, GivesTheChosenPageAtTheChosenResolution) {
  TempFolder dir;
  const std::string pdf = dir.File("site.pdf");
  testing::WritePdf(pdf, TwoPages());
  EXPECT_TRUE(IsPdf(pdf));
  EXPECT_EQ(PdfPageCount(pdf), 2);

  ASSERT_TRUE(ConvertToBmp(pdf, dir.File("two.bmp"), {.page = 2, .dpi = 72}).ok());
  const Pixels two = ReadBmpPixels(dir.File("two.bmp"));
  ASSERT_EQ(two.width, 120);
  ASSERT_EQ(two.height, 240);
  EXPECT_EQ(std::vector<uint8_t>(At(two, 10, 10), At(two, 10, 10) + 3),
            (std::vector<uint8_t>{0, 255, 0}));
  EXPECT_EQ(std::vector<uint8_t>(At(two, 100, 200), At(two, 100, 200) + 3),
            (std::vector<uint8_t>{0, 0, 255}));

  // Without a resolution, the long side reaches 6000 pixels.
  ASSERT_TRUE(ConvertToBmp(pdf, dir.File("one.bmp")).ok());
  const Pixels one = ReadBmpPixels(dir.File("one.bmp"));
  EXPECT_GE(one.width, kPdfMinLongSide);
  EXPECT_LT(one.width, kPdfMinLongSide + 3000 / 72 + 1);
  EXPECT_EQ(std::vector<uint8_t>(At(one, 50, 20), At(one, 50, 20) + 3),
            (std::vector<uint8_t>{255, 0, 0}));
}

TEST(ImportRefusal, AFileNoReaderTakesOrOneThatBreaksOffLeavesNothing) {
  TempFolder dir;
  testing::WriteText(dir.File("notes.txt"), "not a picture\n");
  testing::WriteText(dir.File("plan.bmp"), "the old bitmap");
  const Status refused = ConvertToBmp(dir.File("notes.txt"), dir.File("plan.bmp"));
  EXPECT_EQ(refused.code(), Status::Code::kUnsupported);
  EXPECT_EQ(refused.message(), dir.File("notes.txt") +
                                   " is not a picture Velkaro can read (PNG, JPEG, TIFF, PDF or BMP).");

  const Pixels reference = ReadBmpPixels(testing::kBmpSuite + "g/rgb24.bmp");
  ASSERT_EQ(testing::WritePicture("PNG", dir.File("cut.png"), reference), "");
  fs::resize_file(dir.File("cut.png"), fs::file_size(dir.File("cut.png")) / 2);
  const Status cut = ConvertToBmp(dir.File("cut.png"), dir.File("plan.bmp"));
  EXPECT_FALSE(cut.ok());
  EXPECT_EQ(cut.message().rfind(dir.File("cut.png") + ": ", 0), 0u) << cut.message();

  EXPECT_EQ(testing::ReadText(dir.File("plan.bmp")), "the old bitmap");
  EXPECT_EQ(testing::FileNames(dir.path()),
            (std::vector<std::string>{"cut.png", "notes.txt", "plan.bmp"}));
}

TEST(ImportPlan, KeepsTheBitmapBesideTheSourceAndReusesItWhileItIsNewer) {
  TempFolder dir;
  const std::string source = dir.File("site.png");
  Pixels reference = ReadBmpPixels(testing::kBmpSuite + "g/rgb24.bmp");
  ASSERT_EQ(testing::WritePicture("PNG", source, reference), "");

  const ImportedPlan first = ImportPlan(source);
  ASSERT_TRUE(first.status.ok()) << first.status.message();
  EXPECT_EQ(first.bitmap, source + ".bmp");
  EXPECT_EQ(first.points, source + ".points");
  EXPECT_FALSE(first.reused);
  EXPECT_EQ(first.note, "");

  const ImportedPlan again = ImportPlan(source);
  EXPECT_TRUE(again.reused);
  EXPECT_EQ(again.bitmap, first.bitmap);

  // A source changed after its bitmap is converted anew.
  reference.rgb[0] ^= 0xFF;
  ::usleep(20000);
  ASSERT_EQ(testing::WritePicture("PNG", source, reference), "");
  const ImportedPlan changed = ImportPlan(source);
  ASSERT_TRUE(changed.status.ok());
  EXPECT_FALSE(changed.reused);
  EXPECT_TRUE(ReadBmpPixels(changed.bitmap).rgb == reference.rgb);
}

TEST(ImportPlan, ASourceInAFolderThatCannotBeWrittenIsConvertedIntoTheCache) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
  TempFolder dir;
  fs::create_directory(dir.File("stick"));
  const std::string source = dir.File("stick/site.png");
  ASSERT_EQ(testing::WritePicture("PNG", source, ReadBmpPixels(testing::kBmpSuite + "g/rgb24.bmp")),
            "");
  ::chmod(dir.File("stick").c_str(), 0555);
  ::setenv("XDG_CACHE_HOME", dir.File("cache").c_str(), 1);
  const ImportedPlan plan = ImportPlan(source);
  const ImportedPlan again = ImportPlan(source);
  ::chmod(dir.File("stick").c_str(), 0755);
  ASSERT_TRUE(plan.status.ok()) << plan.status.message();
  EXPECT_EQ(plan.bitmap.rfind(dir.File("cache/velkaro/"), 0), 0u) << plan.bitmap;
  EXPECT_TRUE(fs::exists(plan.bitmap));
  EXPECT_EQ(plan.points, source + ".points");
  EXPECT_NE(plan.note.find(plan.bitmap), std::string::npos) << plan.note;
  EXPECT_TRUE(again.reused);
  EXPECT_EQ(again.bitmap, plan.bitmap);
  EXPECT_FALSE(fs::exists(source + ".bmp"));
}

TEST(VlkImport, ConvertsAsTheProgramDoesAndRefusesWithItsStatus) {
  TempFolder dir;
  testing::WritePdf(dir.File("site.pdf"), TwoPages());
  ASSERT_EQ(testing::RunVlk(dir.path(), "import site.pdf page.bmp --page 2 --dpi 72").status, 0)
      << testing::ReadText(dir.File("stderr.txt"));
  ASSERT_TRUE(ConvertToBmp(dir.File("site.pdf"), dir.File("same.bmp"), {.page = 2, .dpi = 72}).ok());
  EXPECT_TRUE(testing::ReadAll(dir.File("page.bmp")) == testing::ReadAll(dir.File("same.bmp")));

  for (const char* words : {"import site.pdf", "import site.pdf x.bmp --page two"}) {
    EXPECT_EQ(testing::RunVlk(dir.path(), words).status, 2) << words;
    EXPECT_EQ(testing::ReadText(dir.File("stderr.txt")),
              "usage: vlk import SOURCE OUT.bmp [--page N] [--dpi D]\n");
  }
  testing::WriteText(dir.File("notes.txt"), "text");
  EXPECT_EQ(testing::RunVlk(dir.path(), "import notes.txt x.bmp").status, 1);
  EXPECT_EQ(testing::ReadText(dir.File("stderr.txt")),
            "vlk: notes.txt is not a picture Velkaro can read (PNG, JPEG, TIFF, PDF or BMP).\n");
  EXPECT_FALSE(fs::exists(dir.File("x.bmp")));
}

}  // namespace
}  // namespace velkaro::plan_import
