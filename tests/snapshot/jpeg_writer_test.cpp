// The snapshot JPEG writer, checked by reading its files back with libjpeg's
// own decompressor and comparing against libjpeg's own tables and texts.
#include "snapshot/jpeg_writer.h"

#include "tests/support/file_size_limit.h"
#include "tests/support/jpeg_reader.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <jerror.h>
#include <jpeglib.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::DecodedJpeg;
using testing::ReadJpeg;
using testing::TempFolder;

// A bottom-up capture of (height + 1) rows, every pixel the same colour.
std::vector<unsigned char> SolidCapture(int width, int height, unsigned char r, unsigned char g,
                                        unsigned char b) {
  std::vector<unsigned char> pixels(JpegCaptureBytes(width, height));
  for (std::size_t i = 0; i < pixels.size(); i += 3) {
    pixels[i] = r;
    pixels[i + 1] = g;
    pixels[i + 2] = b;
  }
  return pixels;
}

DecodedJpeg WriteAndRead(const TempFolder& dir, int width, int height, int quality,
                         const std::vector<unsigned char>& pixels) {
  const std::string path = (dir.path() / "shot.jpg").string();
  EXPECT_TRUE(WriteJpeg(path, width, height, quality, pixels)) << GetJpegError();
  std::string error;
  auto decoded = ReadJpeg(path, &error);
  EXPECT_TRUE(decoded.has_value()) << error;
  return decoded.value_or(DecodedJpeg{});
}

class JpegQuality : public ::testing::TestWithParam<int> {};

// The picture keeps its size, three components and colour order (red, green,
// blue taken as such), and the file carries the tables libjpeg chooses for
// that quality with baseline forced (all ones at 100; clamped to 8 bits,
// hence a baseline frame, at low qualities).
TEST_P(JpegQuality, SizeComponentsColoursAndBaselineTables) {
  TempFolder dir;
  const int quality = GetParam();
  const DecodedJpeg jpeg = WriteAndRead(dir, 240, 265, quality, SolidCapture(240, 265, 250, 0, 0));
  EXPECT_EQ(jpeg.width, 240);
  EXPECT_EQ(jpeg.height, 265);
  EXPECT_EQ(jpeg.components, 3);
  EXPECT_EQ(jpeg.frame_markers, std::vector<int>{0xC0});
  const auto reference = testing::ReferenceTables(quality);
  EXPECT_EQ(jpeg.tables,
            (std::vector<testing::QuantTable>{reference[0], reference[1], reference[1]}));
  ASSERT_EQ(jpeg.rgb.size(), 240u * 265u * 3u);
  const int tolerance = quality == 100 ? 5 : 40;
  for (std::size_t i = 0; i < jpeg.rgb.size(); i += 3) {
    ASSERT_NEAR(jpeg.rgb[i], 250, tolerance) << "pixel " << i / 3;
    ASSERT_LE(jpeg.rgb[i + 1], tolerance) << "pixel " << i / 3;
    ASSERT_LE(jpeg.rgb[i + 2], tolerance) << "pixel " << i / 3;
  }
}

INSTANTIATE_TEST_SUITE_P(Qualities, JpegQuality, ::testing::Values(100, 75, 1));

class JpegRowOrder : public ::testing::TestWithParam<std::pair<int, int>> {};

// Each buffer row gets its own grey; picture row t must show buffer row
// (height - t), so buffer row 0 never appears and the picture is upright.
TEST_P(JpegRowOrder, PictureRowsComeFromBottomUpBuffer) {
  const auto [width, height] = GetParam();
  auto grey = [](int buffer_row) { return static_cast<unsigned char>((buffer_row * 7) % 251); };
  std::vector<unsigned char> pixels(JpegCaptureBytes(width, height));
  for (int k = 0; k <= height; ++k) {
    for (int i = 0; i < width * 3; ++i) pixels[std::size_t(k) * width * 3 + i] = grey(k);
  }
  TempFolder dir;
  const DecodedJpeg jpeg = WriteAndRead(dir, width, height, 100, pixels);
  ASSERT_EQ(jpeg.height, height);
  ASSERT_EQ(jpeg.width, width);
  for (int t = 0; t < height; ++t) {
    long sum = 0;
    for (int i = 0; i < width * 3; ++i) sum += jpeg.rgb[std::size_t(t) * width * 3 + i];
    const double mean = double(sum) / (width * 3);
    EXPECT_NEAR(mean, grey(height - t), 3.0) << "picture row " << t;
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, JpegRowOrder,
                         ::testing::Values(std::pair{240, 265}, std::pair{16, 24}, std::pair{5, 3},
                                           std::pair{1, 1}));

// An output path that cannot be opened, or a device such as /dev/full that
// is not a file, gives exactly the open-failure message and leaves nothing
// behind; the buffer-checked entry refuses a capture one byte short before
// any file is created.
TEST(JpegWriter, UnopenablePathsAndShortCapturesAreRefused) {
  TempFolder dir;
  const std::filesystem::path plain_file = dir.path() / "plain";
  ASSERT_TRUE(WriteJpeg(plain_file.string(), 4, 4, 100, SolidCapture(4, 4, 1, 2, 3)));
  std::filesystem::create_directory(dir.path() / "folder");
  const std::string paths[] = {
      (dir.path() / "missing" / "shot.jpg").string(),  // folder does not exist
      (plain_file / "shot.jpg").string(),              // a file where a folder should be
      (dir.path() / "folder").string(),                // the path is a folder
      "/dev/full",
  };
  std::vector<unsigned char> pixels = SolidCapture(240, 265, 0, 0, 0);
  for (const std::string& path : paths) {
    EXPECT_FALSE(WriteJpeg(path, 240, 265, 100, pixels.data()));
    EXPECT_EQ(GetJpegError(), "Can't open file\"" + path + "\"");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));

  const std::string path = (dir.path() / "shot.jpg").string();
  pixels.pop_back();
  EXPECT_FALSE(WriteJpeg(path, 240, 265, 100, pixels));
  EXPECT_FALSE(GetJpegError().empty());
  EXPECT_FALSE(std::filesystem::exists(path));
  pixels.push_back(0);
  EXPECT_TRUE(WriteJpeg(path, 240, 265, 100, pixels));
}

// A fatal library error comes back as false with the library's own text,
// closes the file, and a later good encoding starts with an empty message.
TEST(JpegWriter, FatalErrorsAreReportedWithLibraryTextAndNothingLeaks) {
  struct Case {
    int width, height, code, parameter;
  };
  const Case cases[] = {{0, 265, JERR_EMPTY_IMAGE, 0},
                        {240, 0, JERR_EMPTY_IMAGE, 0},
                        {70000, 1, JERR_IMAGE_TOO_BIG, JPEG_MAX_DIMENSION},
                        {4, -1, JERR_IMAGE_TOO_BIG, JPEG_MAX_DIMENSION}};
  TempFolder dir;
  const std::string path = (dir.path() / "bad.jpg").string();
  const std::string good = (dir.path() / "good.jpg").string();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const auto pixels = SolidCapture(std::max(c.width, 1), std::max(c.height, 1), 9, 9, 9);
    const int descriptors = testing::OpenDescriptorCount();
    EXPECT_FALSE(WriteJpeg(path, c.width, c.height, 100, pixels.data()));
    EXPECT_EQ(GetJpegError(), testing::LibraryMessage(c.code, c.parameter));
    EXPECT_EQ(testing::OpenDescriptorCount(), descriptors);
    EXPECT_TRUE(WriteJpeg(good, 8, 8, 100, SolidCapture(8, 8, 1, 1, 1)));
    EXPECT_EQ(GetJpegError(), "");
  }
}

// A disk that fills during the encoding (a file-size limit stands in for
// it) gives the library's write-error text and leaves the picture that was
// there before untouched.
TEST(JpegWriter, FullDiskKeepsTheOldPicture) {
  TempFolder dir;
  const std::string path = (dir.path() / "shot.jpg").string();
  ASSERT_TRUE(WriteJpeg(path, 8, 8, 100, SolidCapture(8, 8, 1, 1, 1)));
  const auto old_size = std::filesystem::file_size(path);
  const auto pixels = SolidCapture(240, 265, 200, 10, 90);

  const int descriptors = testing::OpenDescriptorCount();
  bool written = false;
  {
    testing::FileSizeLimit limit(1024);
    ASSERT_TRUE(limit.set());
    written = WriteJpeg(path, 240, 265, 100, pixels.data());
  }
  const int descriptors_after = testing::OpenDescriptorCount();

  EXPECT_FALSE(written);
  EXPECT_EQ(GetJpegError(), testing::LibraryMessage(JERR_FILE_WRITE, 0));
  EXPECT_EQ(descriptors_after, descriptors);
  EXPECT_EQ(std::filesystem::file_size(path), old_size);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++entries;
  EXPECT_EQ(entries, 1) << "no temporary file stays beside the picture";
}

}  // namespace
}  // namespace velkaro
