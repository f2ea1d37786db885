// The BMP writer's files are the pictures they were written from, as two
// readers see them: the plan bitmap row reader and GDAL's BMP driver, an
// independent reader; and a write that fails part way leaves the file that
// was there, and nothing else.
#include "image/bmp_writer.h"

#include "image/bmp_rows.h"
#include "tests/gis/gdal_image.h"
#include "tests/image/plan_file.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::image {
namespace {

using testing::PlanFile;
using testing::ReadWithGdal;
using testing::RgbImage;
using testing::TempFolder;

// A picture whose every pixel differs from its neighbours in all three
// channels, so a swapped channel, a row out of place or padding read as a
// pixel shows.
uint8_t Channel(int x, int y, int c) { return uint8_t(x * 7 + y * 13 + c * 85); }

// The pixels both readers give for `path` are `want`'s.
void ExpectReadBackAs(const std::string& path, int width, int height,
                      const std::function<std::array<uint8_t, 3>(int x, int y)>& want) {
  PlanFile plan(path);
  ASSERT_EQ(plan.error(), "");
  ASSERT_EQ(plan.rows().width(), width);
  ASSERT_EQ(plan.rows().height(), height);
  const RgbImage gdal = ReadWithGdal(path);
  ASSERT_TRUE(gdal.ok) << gdal.error;
  ASSERT_EQ(gdal.width, width);
  ASSERT_EQ(gdal.height, height);
  std::vector<uint8_t> row(3 * size_t(width));
  for (int y = 0; y < height; ++y) {
    ASSERT_TRUE(plan.rows().ReadRow(y, row.data()).ok());
    for (int x = 0; x < width; ++x) {
      const std::array<uint8_t, 3> expected = want(x, y);
      for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(row[3 * x + c], expected[c]) << "row reader at " << x << "," << y;
        ASSERT_EQ(gdal.At(x, y)[c], expected[c]) << "GDAL at " << x << "," << y;
      }
    }
  }
}

TEST(BmpWriter, WrittenFilesReadBackAsTheirPicturesInBothReaders) {
  TempFolder dir;
  // 24 bits, at widths with every amount of row padding.
  for (const int width : {1, 2, 3, 4, 37}) {
    SCOPED_TRACE("24 bits, width " + std::to_string(width));
    const std::string path = dir.File("rgb" + std::to_string(width) + ".bmp");
    ASSERT_TRUE(WriteBmp(path, {.width = width, .height = 5}, [&](int32_t y, uint8_t* rgb) {
                  for (int x = 0; x < width; ++x)
                    for (int c = 0; c < 3; ++c) rgb[3 * x + c] = Channel(x, y, c);
                }).ok());
    ExpectReadBackAs(path, width, 5, [](int x, int y) {
      return std::array<uint8_t, 3>{Channel(x, y, 0), Channel(x, y, 1), Channel(x, y, 2)};
    });
  }

  // 8 bits with a short palette: each index names its own colour.
  BmpFormat indexed{.width = 11, .height = 6, .bits_per_pixel = 8};
  for (int i = 0; i < 17; ++i) indexed.palette.push_back({uint8_t(i * 15), uint8_t(255 - i), 9});
  auto index_at = [](int x, int y) { return uint8_t((x + 3 * y) % 17); };
  const std::string path = dir.File("pal8.bmp");
  ASSERT_TRUE(WriteBmp(path, indexed, [&](int32_t y, uint8_t* indices) {
                for (int x = 0; x < indexed.width; ++x) indices[x] = index_at(x, y);
              }).ok());
  ExpectReadBackAs(path, 11, 6, [&](int x, int y) { return indexed.palette[index_at(x, y)]; });

  // The headers alone, for codes the caller writes: a run-length coded
  // file, each row one run of its own index.
  std::vector<uint8_t> codes;
  for (int stored = 0; stored < 6; ++stored) codes.insert(codes.end(), {11, uint8_t(stored), 0, 0});
  codes.insert(codes.end(), {0, 1});
  BmpFormat coded = indexed;
  coded.coding = BmpCoding::kRle8;
  coded.coded_bytes = codes.size();
  std::vector<uint8_t> file = BmpHeader(coded);
  ASSERT_FALSE(file.empty());
  file.insert(file.end(), codes.begin(), codes.end());
  testing::WriteAll(dir.File("rle8.bmp"), file);
  ExpectReadBackAs(dir.File("rle8.bmp"), 11, 6,
                   [&](int, int y) { return indexed.palette[size_t(5 - y)]; });
}

TEST(BmpWriter, AWriteThatFailsLeavesTheOldFileAndNothingElse) {
  TempFolder dir;
  const std::string path = dir.File("plan.bmp");
  testing::WriteText(path, "the old plan");

  // A file size limit well inside the picture: the write fails part way, as
  // on a full disk.
  int rows_asked = 0;
  Status written;
  {
    testing::FileSizeLimit limit(100'000);
    ASSERT_TRUE(limit.set());
    written = WriteBmp(path, {.width = 300, .height = 300}, [&](int32_t, uint8_t* rgb) {
      ++rows_asked;
      std::fill(rgb, rgb + 900, 0x55);
    });
  }

  EXPECT_EQ(written.code(), Status::Code::kFileError);
  EXPECT_EQ(written.cause(), FileErrorCause::kDiskFull);
  EXPECT_EQ(written.path(), path);
  EXPECT_LT(rows_asked, 300) << "the write stops at the first failure";
  EXPECT_EQ(testing::ReadText(path), "the old plan");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"plan.bmp"});

  // A format the writer does not write is refused before any file is made.
  EXPECT_EQ(WriteBmp(dir.File("wide.bmp"), {.width = 0, .height = 1}, {}).code(),
            Status::Code::kInvalid);
  EXPECT_FALSE(std::filesystem::exists(dir.File("wide.bmp")));
}

}  // namespace
}  // namespace velkaro::image
