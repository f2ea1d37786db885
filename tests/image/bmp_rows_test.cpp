// The plan bitmap row reader against the BMP suite's own reference images,
// read by GDAL: every header, bit depth, mask layout and run-length case a
// plan may come in, rows read in scrambled order; and the suite's broken
// files refused or read without harm.
#include "image/bmp_rows.h"

#include "tests/gis/gdal_image.h"
#include "tests/image/plan_file.h"

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::image {
namespace {

using testing::kBmpSuite;
using testing::ReadWithGdal;
using testing::RgbImage;
using testing::SuitePlan;

// "g/pal8-0.bmp" as a test name: gpal80bmp.
std::string CaseName(std::string path) {
  path.erase(std::remove_if(path.begin(), path.end(),
                            [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }),
             path.end());
  return path;
}

struct SuiteImage {
  std::string bmp;        // under tests/data/bmpsuite
  std::string reference;  // under tests/data/bmpsuite/html
};

void PrintTo(const SuiteImage& image, std::ostream* out) { *out << image.bmp; }

// Every good file and every questionable one with a plain reading, by the
// reference image each must read as ("": the file's own name). Left out: the
// embedded JPEG/PNG, Huffman and 24-bit run-length files (refused, see
// below), 64-bit pixels, rgba16-5551 (its reference is composited over grey)
// and rgb32-111110 (an 11-bit channel at 210.53 of 255: the reference
// truncates, the reader rounds to the nearest).
std::vector<SuiteImage> SuiteImages() {
  const std::pair<const char*, std::vector<const char*>> groups[] = {
      {"",
       {"g/pal1",           "g/pal1bg",       "g/pal4",         "g/pal4gs",      "g/pal8",
        "g/pal8gs",         "g/pal8w124",     "g/pal8w125",     "g/pal8w126",    "g/rgb16-565",
        "g/rgb16",          "g/rgb24",        "q/pal1p1",       "q/pal2",        "q/pal2color",
        "q/rgb16-231",      "q/rgb16-3103",   "q/rgb32-7187",   "q/rgba16-1924", "q/rgba16-4444",
        "q/rgba32-1010102", "q/rgba32-61754", "q/rgba32-81284", "b/rgb16-880"}},
      {"pal1.png", {"g/pal1wb"}},
      {"pal4.png", {"g/pal4rle"}},
      {"pal8.png",
       {"g/pal8-0", "g/pal8os2", "g/pal8rle", "g/pal8topdown", "g/pal8v4", "g/pal8v5", "q/pal8offs",
        "q/pal8os2-hs", "q/pal8os2-sz", "q/pal8os2sp", "q/pal8os2v2-16", "q/pal8os2v2-40sz",
        "q/pal8os2v2-sz", "q/pal8os2v2", "q/pal8oversizepal"}},
      {"pal8nonsquare-e.png", {"g/pal8nonsquare"}},
      {"rgb16-565.png", {"g/rgb16-565pal"}},
      {"rgb16.png", {"g/rgb16bfdef", "q/rgb16faketrns"}},
      {"rgb24.png",
       {"g/rgb24pal", "g/rgb32", "g/rgb32bf", "g/rgb32bfdef", "q/rgb24largepal", "q/rgb24lprof",
        "q/rgb24prof", "q/rgb32-xbgr", "q/rgb32fakealpha", "q/rgb32h52"}},
      {"rgba32.png", {"q/rgba32-1", "q/rgba32-2", "q/rgba32abf", "q/rgba32h56"}},
      {"pal4rlecut-0.png", {"q/pal4rlecut"}},
      {"pal4rletrns-0.png", {"q/pal4rletrns"}},
      {"pal8rlecut-0.png", {"q/pal8rlecut"}},
      {"pal8rletrns-0.png", {"q/pal8rletrns"}}};
  std::vector<SuiteImage> images;
  for (const auto& [reference, files] : groups) {
    for (const std::string file : files) {
      images.push_back({file + ".bmp", *reference ? reference : file.substr(2) + ".png"});
    }
  }
  return images;
}

class BmpRowsMatchTheSuite : public ::testing::TestWithParam<SuiteImage> {};

TEST_P(BmpRowsMatchTheSuite, EveryPixelInAnyRowOrder) {
  SuitePlan plan(GetParam().bmp);
  ASSERT_EQ(plan.error(), "");
  BmpRows& rows = plan.rows();
  const RgbImage reference = ReadWithGdal(kBmpSuite + "html/" + GetParam().reference);
  ASSERT_TRUE(reference.ok) << reference.error;
  ASSERT_EQ(rows.width(), reference.width);
  ASSERT_EQ(rows.height(), reference.height);

  // Scrambled, so no row relies on the one read before it.
  std::vector<int32_t> order(static_cast<size_t>(rows.height()));
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937(5));
  std::vector<uint8_t> rgb(3 * static_cast<size_t>(rows.width()));
  for (int32_t y : order) {
    ASSERT_TRUE(rows.ReadRow(y, rgb.data()).ok());
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

INSTANTIATE_TEST_SUITE_P(Suite, BmpRowsMatchTheSuite, ::testing::ValuesIn(SuiteImages()),
                         [](const auto& info) { return CaseName(info.param.bmp); });

struct RefusedImage {
  const char* bmp;
  const char* error;
};

void PrintTo(const RefusedImage& image, std::ostream* out) { *out << image.bmp; }

class BmpRowsRefuse : public ::testing::TestWithParam<RefusedImage> {};

TEST_P(BmpRowsRefuse, WithWhatIsWrong) {
  EXPECT_EQ(SuitePlan(GetParam().bmp).error(),
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
    SuitePlan plan(name);
    ASSERT_EQ(plan.error(), "") << name;
    BmpRows& rows = plan.rows();
    std::vector<uint8_t> rgb(3 * static_cast<size_t>(rows.width()));
    for (int32_t y = 0; y < rows.height(); ++y)
      ASSERT_TRUE(rows.ReadRow(y, rgb.data()).ok()) << name;
  }
}

}  // namespace
}  // namespace velkaro::image
