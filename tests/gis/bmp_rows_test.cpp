// The plan bitmap row reader against the BMP suite's own reference images,
// read by GDAL: every header, bit depth, mask layout and run-length case a
// plan may come in, rows read in scrambled order; and the suite's broken
// files refused or read without harm.
#include "gis/bmp_rows.h"

#include "tests/gis/gdal_image.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::gis {
namespace {

using testing_support::ReadWithGdal;
using testing_support::RgbImage;

const std::string kSuite = std::string(VELKARO_SOURCE_DIR) + "/tests/data/bmpsuite/";

class OpenFile {
 public:
  explicit OpenFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~OpenFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

// "g/pal8-0.bmp" as a test name: gpal80bmp.
std::string CaseName(std::string path) {
  path.erase(std::remove_if(path.begin(), path.end(),
                            [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }),
             path.end());
  return path;
}

struct SuiteImage {
  const char* bmp;        // under tests/data/bmpsuite
  const char* reference;  // under tests/data/bmpsuite/html
};

void PrintTo(const SuiteImage& image, std::ostream* out) { *out << image.bmp; }

class BmpRowsMatchTheSuite : public ::testing::TestWithParam<SuiteImage> {};

TEST_P(BmpRowsMatchTheSuite, EveryPixelInAnyRowOrder) {
  const OpenFile file(kSuite + GetParam().bmp);
  ASSERT_GE(file.fd(), 0);
  BmpRows rows;
  const std::string error = rows.Open(file.fd());
  ASSERT_EQ(error, "");
  const RgbImage reference = ReadWithGdal(kSuite + "html/" + GetParam().reference);
  ASSERT_TRUE(reference.ok) << reference.error;
  ASSERT_EQ(rows.width(), reference.width);
  ASSERT_EQ(rows.height(), reference.height);

  // Scrambled, so no row relies on the one read before it.
  std::vector<int32_t> order(static_cast<size_t>(rows.height()));
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937(5));
  std::vector<uint8_t> rgb(3 * static_cast<size_t>(rows.width()));
  for (int32_t y : order) {
    ASSERT_EQ(rows.ReadRow(y, rgb.data()), "");
    for (int32_t x = 0; x < rows.width(); ++x) {
      // Where the reference is transparent its colour means nothing; the
      // export keeps the colour and drops alpha.
      if (reference.alpha[size_t(y) * reference.width + x] == 0) continue;
      const uint8_t* want = reference.At(x, y);
      const uint8_t* got = rgb.data() + 3 * x;
      ASSERT_TRUE(std::equal(got, got + 3, want))
          << "pixel " << x << "," << y << ": got " << int(got[0]) << " " << int(got[1]) << " "
          << int(got[2]) << ", want " << int(want[0]) << " " << int(want[1]) << " " << int(want[2]);
    }
  }
}

// Every good file and every questionable one with a plain reading. Left out:
// the embedded JPEG/PNG, Huffman and 24-bit run-length files (refused, see
// below), 64-bit pixels, rgba16-5551 (its reference is composited over grey)
// and rgb32-111110 (an 11-bit channel at 210.53 of 255: the reference
// truncates, the reader rounds to the nearest).
INSTANTIATE_TEST_SUITE_P(
    Suite, BmpRowsMatchTheSuite,
    ::testing::Values(
        SuiteImage{"g/pal1.bmp", "pal1.png"}, SuiteImage{"g/pal1bg.bmp", "pal1bg.png"},
        SuiteImage{"g/pal1wb.bmp", "pal1.png"}, SuiteImage{"g/pal4.bmp", "pal4.png"},
        SuiteImage{"g/pal4gs.bmp", "pal4gs.png"}, SuiteImage{"g/pal4rle.bmp", "pal4.png"},
        SuiteImage{"g/pal8-0.bmp", "pal8.png"}, SuiteImage{"g/pal8.bmp", "pal8.png"},
        SuiteImage{"g/pal8gs.bmp", "pal8gs.png"},
        SuiteImage{"g/pal8nonsquare.bmp", "pal8nonsquare-e.png"},
        SuiteImage{"g/pal8os2.bmp", "pal8.png"}, SuiteImage{"g/pal8rle.bmp", "pal8.png"},
        SuiteImage{"g/pal8topdown.bmp", "pal8.png"}, SuiteImage{"g/pal8v4.bmp", "pal8.png"},
        SuiteImage{"g/pal8v5.bmp", "pal8.png"}, SuiteImage{"g/pal8w124.bmp", "pal8w124.png"},
        SuiteImage{"g/pal8w125.bmp", "pal8w125.png"}, SuiteImage{"g/pal8w126.bmp", "pal8w126.png"},
        SuiteImage{"g/rgb16-565.bmp", "rgb16-565.png"},
        SuiteImage{"g/rgb16-565pal.bmp", "rgb16-565.png"}, SuiteImage{"g/rgb16.bmp", "rgb16.png"},
        SuiteImage{"g/rgb16bfdef.bmp", "rgb16.png"}, SuiteImage{"g/rgb24.bmp", "rgb24.png"},
        SuiteImage{"g/rgb24pal.bmp", "rgb24.png"}, SuiteImage{"g/rgb32.bmp", "rgb24.png"},
        SuiteImage{"g/rgb32bf.bmp", "rgb24.png"}, SuiteImage{"g/rgb32bfdef.bmp", "rgb24.png"},
        SuiteImage{"q/pal1p1.bmp", "pal1p1.png"}, SuiteImage{"q/pal2.bmp", "pal2.png"},
        SuiteImage{"q/pal2color.bmp", "pal2color.png"},
        SuiteImage{"q/pal4rlecut.bmp", "pal4rlecut-0.png"},
        SuiteImage{"q/pal4rletrns.bmp", "pal4rletrns-0.png"},
        SuiteImage{"q/pal8offs.bmp", "pal8.png"}, SuiteImage{"q/pal8os2-hs.bmp", "pal8.png"},
        SuiteImage{"q/pal8os2-sz.bmp", "pal8.png"}, SuiteImage{"q/pal8os2sp.bmp", "pal8.png"},
        SuiteImage{"q/pal8os2v2-16.bmp", "pal8.png"},
        SuiteImage{"q/pal8os2v2-40sz.bmp", "pal8.png"},
        SuiteImage{"q/pal8os2v2-sz.bmp", "pal8.png"}, SuiteImage{"q/pal8os2v2.bmp", "pal8.png"},
        SuiteImage{"q/pal8oversizepal.bmp", "pal8.png"},
        SuiteImage{"q/pal8rlecut.bmp", "pal8rlecut-0.png"},
        SuiteImage{"q/pal8rletrns.bmp", "pal8rletrns-0.png"},
        SuiteImage{"q/rgb16-231.bmp", "rgb16-231.png"},
        SuiteImage{"q/rgb16-3103.bmp", "rgb16-3103.png"},
        SuiteImage{"q/rgb16faketrns.bmp", "rgb16.png"},
        SuiteImage{"q/rgb24largepal.bmp", "rgb24.png"}, SuiteImage{"q/rgb24lprof.bmp", "rgb24.png"},
        SuiteImage{"q/rgb24prof.bmp", "rgb24.png"},
        SuiteImage{"q/rgb32-7187.bmp", "rgb32-7187.png"},
        SuiteImage{"q/rgb32-xbgr.bmp", "rgb24.png"},
        SuiteImage{"q/rgb32fakealpha.bmp", "rgb24.png"}, SuiteImage{"q/rgb32h52.bmp", "rgb24.png"},
        SuiteImage{"q/rgba16-1924.bmp", "rgba16-1924.png"},
        SuiteImage{"q/rgba16-4444.bmp", "rgba16-4444.png"},
        SuiteImage{"q/rgba32-1.bmp", "rgba32.png"},
        SuiteImage{"q/rgba32-1010102.bmp", "rgba32-1010102.png"},
        SuiteImage{"q/rgba32-2.bmp", "rgba32.png"},
        SuiteImage{"q/rgba32-61754.bmp", "rgba32-61754.png"},
        SuiteImage{"q/rgba32-81284.bmp", "rgba32-81284.png"},
        SuiteImage{"q/rgba32abf.bmp", "rgba32.png"}, SuiteImage{"q/rgba32h56.bmp", "rgba32.png"},
        SuiteImage{"b/rgb16-880.bmp", "rgb16-880.png"}),
    [](const auto& info) { return CaseName(info.param.bmp); });

struct RefusedImage {
  const char* bmp;
  const char* error;
};

void PrintTo(const RefusedImage& image, std::ostream* out) { *out << image.bmp; }

class BmpRowsRefuse : public ::testing::TestWithParam<RefusedImage> {};

TEST_P(BmpRowsRefuse, WithWhatIsWrong) {
  const OpenFile file(kSuite + GetParam().bmp);
  ASSERT_GE(file.fd(), 0);
  BmpRows rows;
  EXPECT_EQ(rows.Open(file.fd()),
            std::string("the plan bitmap cannot be read: ") + GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Suite, BmpRowsRefuse,
    ::testing::Values(
        RefusedImage{"q/pal1huffmsb.bmp", "BMP compression 3 at 1 bits per pixel is not supported"},
        RefusedImage{"q/rgb24jpeg.bmp", "BMP compression 4 at 0 bits per pixel is not supported"},
        RefusedImage{"q/rgb24png.bmp", "BMP compression 5 at 0 bits per pixel is not supported"},
        RefusedImage{"q/rgb24rle24.bmp", "BMP compression 4 at 24 bits per pixel is not supported"},
        RefusedImage{"q/rgba64.bmp", "BMP pixels of 64 bits are not supported"},
        RefusedImage{"b/badbitcount.bmp", "BMP pixels of 30000 bits are not supported"},
        RefusedImage{"b/badheadersize.bmp", "unknown BMP header size 66"},
        RefusedImage{"b/badplanes.bmp", "the BMP plane count is not 1"},
        RefusedImage{"b/badwidth.bmp", "the BMP size -127 x 64 is not a plan's"},
        RefusedImage{"b/reallybig.bmp", "the BMP file ends before its last row"},
        RefusedImage{"b/rletopdown.bmp", "a run-length coded BMP cannot be stored top-down"},
        RefusedImage{"b/shortfile.bmp", "the BMP file ends before its last row"}),
    [](const auto& info) { return CaseName(info.param.bmp); });

// The suite's broken files that still have a plain reading (bad run-length
// codes that try to write past the rows, indices past the palette, absurd
// palette and size fields) are read whole, and every read stays inside its
// buffers (the sanitizer build checks).
TEST(BmpRows, BrokenFilesAreReadWithoutHarm) {
  for (const char* name :
       {"b/badbitssize.bmp", "b/baddens1.bmp", "b/baddens2.bmp", "b/badfilesize.bmp",
        "b/badpalettesize.bmp", "b/badrle.bmp", "b/badrle4.bmp", "b/badrle4bis.bmp",
        "b/badrle4ter.bmp", "b/badrlebis.bmp", "b/badrleter.bmp", "b/pal8badindex.bmp"}) {
    const OpenFile file(kSuite + name);
    BmpRows rows;
    ASSERT_EQ(rows.Open(file.fd()), "") << name;
    std::vector<uint8_t> rgb(3 * static_cast<size_t>(rows.width()));
    for (int32_t y = 0; y < rows.height(); ++y) ASSERT_EQ(rows.ReadRow(y, rgb.data()), "") << name;
  }
}

TEST(BmpRows, AFileThatShrinksUnderTheReaderIsAnErrorNotGarbage) {
  std::string path = (std::filesystem::temp_directory_path() / "velkaro-bmp-rows-XXXXXX").string();
  const int fd = ::mkstemp(path.data());
  ASSERT_GE(fd, 0);
  ::unlink(path.c_str());
  const OpenFile source(kSuite + "g/rgb24.bmp");
  std::vector<uint8_t> bytes(64 * 1024);
  const ssize_t size = ::read(source.fd(), bytes.data(), bytes.size());
  ASSERT_GT(size, 0);
  ASSERT_EQ(::write(fd, bytes.data(), static_cast<size_t>(size)), size);
  BmpRows rows;
  ASSERT_EQ(rows.Open(fd), "");
  ASSERT_EQ(::ftruncate(fd, size / 2), 0);
  std::vector<uint8_t> rgb(3 * static_cast<size_t>(rows.width()));
  EXPECT_EQ(rows.ReadRow(rows.height() - 1, rgb.data()), "");  // the bottom row is stored first
  EXPECT_EQ(rows.ReadRow(0, rgb.data()), "the plan bitmap ends early");
  ::close(fd);
}

}  // namespace
}  // namespace velkaro::gis
