// The vlk projection commands as scripts use them: tap files, then save, info,
// extract, solve and worldfile run as the built program.
#include "site/reference_points_file.h"
#include "site/tap_file.h"
#include "tests/site/projection_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace velkaro {
namespace {

namespace fs = std::filesystem;
using testing::LatAt;
using testing::Lines;
using testing::LonAt;
using testing::ProgramRun;
using testing::ReadAll;
using testing::ReadText;
using testing::RunVlk;
using testing::Tap;
using testing::TempFolder;

struct BadTapLine {
  const char* name;
  const char* text;
  const char* error;
};

class TapFileRefuses : public ::testing::TestWithParam<BadTapLine> {};

TEST_P(TapFileRefuses, TheFirstBadLineWithItsNumber) {
  const TapFile parsed = ParseTapFile(GetParam().text);
  EXPECT_FALSE(parsed.status.ok());
  EXPECT_EQ(parsed.status.code(), Status::Code::kInvalid);
  EXPECT_TRUE(parsed.taps.empty());
  EXPECT_EQ(parsed.status.message(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TapFileRefuses,
    ::testing::Values(
        BadTapLine{"ThreeFields", "1,2,45.0", "1: expected 4 fields x,y,lat,lon, found 3"},
        BadTapLine{"FiveFields", "# c\n1,2,3,4,5", "2: expected 4 fields x,y,lat,lon, found more"},
        BadTapLine{"FractionalPixel", "1.5,2,45,7", "1: x is not a 32-bit integer"},
        BadTapLine{"PixelOverflow", "1,2147483648,45,7", "1: y is not a 32-bit integer"},
        BadTapLine{"TrailingJunk", "1,2,45.0x,7",
                   "1: lat is not a latitude in degrees (-90 to 90)"},
        BadTapLine{"EmptyField", "1,2,,7", "1: lat is not a latitude in degrees (-90 to 90)"},
        BadTapLine{"NotANumber", "1,2,45,nan",
                   "1: lon is not a longitude in degrees (-180 to 180)"},
        BadTapLine{"OutOfRange", "1,2,91,7", "1: lat is not a latitude in degrees (-90 to 90)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TapFile, ReadsCaptureOrderSkippingBlanksCommentsAndCarriageReturns) {
  const TapFile parsed =
      ParseTapFile("# captured on site\r\n\n 10, 20 ,45.5,7.25\r\n  \n-3,4,-33.9,151.2\n");
  ASSERT_TRUE(parsed.status.ok()) << parsed.status.message();
  ASSERT_EQ(parsed.taps.size(), 2u);
  const Tap want[2] = {{10, 20, 45.5, 7.25, 0}, {-3, 4, -33.9, 151.2, 0}};
  EXPECT_EQ(std::memcmp(parsed.taps.data(), want, sizeof want), 0);
}

// A tap file read from disk: a file that cannot be read is the file error
// of its path, and a bad line of either format names the file before its
// line number.
TEST(TapFile, ReadingNamesTheFileInEachFailure) {
  TempFolder dir;
  const std::string nowhere = dir.File("nowhere.csv");
  const TapFile missing = ReadTapFile(nowhere);
  EXPECT_EQ(missing.status.code(), Status::Code::kFileError);
  EXPECT_EQ(missing.status.cause(), FileErrorCause::kFileNotFound);
  EXPECT_EQ(missing.status.message(), FileErrorText(FileErrorCause::kFileNotFound, nowhere));
  EXPECT_TRUE(missing.taps.empty());

  const struct {
    const char* name;
    const char* text;
    const char* error;
  } bad[] = {
      {"taps.csv", "10,20,45.5,7.25\n1,2,45.0\n", ":2: expected 4 fields x,y,lat,lon, found 3"},
      {"plan.points", "mapX,\n7,45,1,-1,yes\n", ":2: enable is not 0 or 1"},
  };
  for (const auto& b : bad) {
    const std::string path = dir.File(b.name);
    std::ofstream(path) << b.text;
    const TapFile read = ReadTapFile(path);
    EXPECT_EQ(read.status.code(), Status::Code::kInvalid) << b.name;
    EXPECT_EQ(read.status.path(), path) << b.name;
    EXPECT_EQ(read.status.message(), path + b.error) << b.name;
    EXPECT_TRUE(read.taps.empty()) << b.name;
  }
}

class VlkCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string bitmap = std::string(VELKARO_SOURCE_DIR) + "/tests/data/bmpsuite/g/pal8.bmp";
    ASSERT_TRUE(fs::exists(bitmap));
    fs::copy_file(bitmap, dir.File("plan.bmp"));
    std::ofstream taps(dir.File("taps.csv"));
    taps << "# x,y,lat,lon\n";
    for (auto [x, y] : {std::pair{10, 20}, {110, 30}, {60, 60}, {15, 55}, {120, 60}}) {
      char line[100];
      std::snprintf(line, sizeof line, "%d,%d,%.17g,%.17g\n", x, y, LatAt(x, y), LonAt(x, y));
      taps << line;
    }
  }
  TempFolder dir;
};

TEST_F(VlkCommands, SaveInfoExtractGiveBackTheIdenticalBitmap) {
  ASSERT_EQ(RunVlk(dir.path(), "save taps.csv plan.bmp site.vlk").status, 0)
      << ReadText(dir.File("stderr.txt"));
  const ProgramRun info = RunVlk(dir.path(), "info site.vlk");
  ASSERT_EQ(info.status, 0);
  const std::vector<std::string> lines = Lines(info.out);
  ASSERT_EQ(lines.size(), 12u) << info.out;
  EXPECT_EQ(lines[0], "header length 145");
  EXPECT_EQ(lines[2], "format 1");
  EXPECT_EQ(lines[3], "matrix");
  EXPECT_EQ(lines[6], "0 0 1 0");
  EXPECT_EQ(lines[7], "0 0 0 1");
  const uint64_t block = fs::file_size(dir.File("plan.bmpc"));
  EXPECT_EQ(lines[8], "N " + std::to_string(block - 1032));
  EXPECT_EQ(lines[9], "L " + std::to_string(fs::file_size(dir.File("plan.bmp"))));
  EXPECT_EQ(lines[10], "trailing bytes 16");  // the checksum trailer
  EXPECT_EQ(lines[11], "checksum ok");

  ASSERT_EQ(RunVlk(dir.path(), "extract site.vlk back.bmp").status, 0);
  EXPECT_EQ(ReadAll(dir.File("back.bmp")), ReadAll(dir.File("plan.bmp")));
  EXPECT_FALSE(fs::exists(dir.File("back.bmpc")));
}

// Solve prints the geocode that save stores, and a reference-point file of
// the same taps solves and saves to the very same bytes.
TEST_F(VlkCommands, SolveMatchesWhatSaveStoresFromATapListOrReferencePoints) {
  const ProgramRun solve = RunVlk(dir.path(), "solve taps.csv");
  ASSERT_EQ(solve.status, 0) << ReadText(dir.File("stderr.txt"));
  const std::vector<std::string> lines = Lines(solve.out);
  ASSERT_EQ(lines.size(), 1u + 6u + 5u + 1u) << solve.out;
  EXPECT_EQ(lines[0], "valid");
  const std::string list_dump = ReadText(dir.File("debug.txt"));
  EXPECT_EQ(Lines(list_dump).size(), 7u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(lines[7 + i].rfind("residual " + std::to_string(i + 1) + " 0.0000", 0), 0u)
        << lines[7 + i];
    EXPECT_TRUE(lines[7 + i].ends_with(" px 0.000 m")) << lines[7 + i];
  }
  EXPECT_EQ(lines[12].rfind("rms 0.0000", 0), 0u) << lines[12];
  EXPECT_TRUE(lines[12].ends_with(" px 0.000 m")) << lines[12];

  // The coefficients saved in the header are the ones solve prints.
  ASSERT_EQ(RunVlk(dir.path(), "save taps.csv plan.bmp site.vlk").status, 0);
  const std::vector<uint8_t> file = ReadAll(dir.File("site.vlk"));
  const int elements[6] = {0, 1, 3, 4, 5, 7};  // xLat xLon x0 yLat yLon y0
  for (int i = 0; i < 6; ++i) {
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.17g",
                  LoadLeDouble(file.data() + 13 + 8 * elements[i]));
    EXPECT_EQ(lines[1 + i], printed) << i;
  }

  const TapFile taps = ReadTapFile(dir.File("taps.csv"));
  ASSERT_TRUE(taps.status.ok()) << taps.status.message();
  std::ofstream(dir.File("plan.points")) << FormatReferencePoints(taps.taps, std::nullopt);
  const ProgramRun from_points = RunVlk(dir.path(), "solve plan.points");
  ASSERT_EQ(from_points.status, 0) << ReadText(dir.File("stderr.txt"));
  EXPECT_EQ(from_points.out, solve.out);  // the six %.17g coefficients among them
  EXPECT_EQ(ReadText(dir.File("debug.txt")), list_dump);
  ASSERT_EQ(RunVlk(dir.path(), "save plan.points plan.bmp from_points.vlk").status, 0);
  EXPECT_EQ(ReadAll(dir.File("from_points.vlk")), file);

  std::ofstream(dir.File("bad.points")) << "#CRS: EPSG:4326\r\nmapX,mapY\r\n7,45,1,-1,yes\r\n";
  EXPECT_EQ(RunVlk(dir.path(), "solve bad.points").status, 1);
  EXPECT_EQ(ReadText(dir.File("stderr.txt")), "vlk: bad.points:3: enable is not 0 or 1\n");
}

TEST_F(VlkCommands, WorldfileMapsEveryTapPixelBackToItsPosition) {
  ASSERT_EQ(RunVlk(dir.path(), "save taps.csv plan.bmp site.vlk").status, 0);
  const ProgramRun world = RunVlk(dir.path(), "worldfile site.vlk");
  ASSERT_EQ(world.status, 0);
  const std::vector<std::string> lines = Lines(world.out);
  ASSERT_EQ(lines.size(), 6u);
  double a[6];
  for (int i = 0; i < 6; ++i) a[i] = std::stod(lines[i]);
  // A D B E C F: lon = A col + B row + C, lat = D col + E row + F.
  for (auto [x, y] : {std::pair{0, 0}, {10, 20}, {120, 60}, {127, 63}}) {
    EXPECT_NEAR(a[0] * x + a[2] * y + a[4], LonAt(x, y), 1e-9) << x << "," << y;
    EXPECT_NEAR(a[1] * x + a[3] * y + a[5], LatAt(x, y), 1e-9) << x << "," << y;
  }
  ASSERT_EQ(RunVlk(dir.path(), "worldfile site.vlk plan.bpw").status, 0);
  EXPECT_EQ(ReadText(dir.File("plan.bpw")), world.out);
}

TEST_F(VlkCommands, RefusalsExitOneWithTheirMessage) {
  std::ofstream(dir.File("four.csv")) << "1,1,45,7\n2,2,45.1,7\n3,3,45,7.1\n4,4,45.1,7.1\n";
  EXPECT_EQ(RunVlk(dir.path(), "solve four.csv").status, 1);
  EXPECT_EQ(ReadText(dir.File("stderr.txt")), "Take at least 5 points.\n");
  EXPECT_EQ(RunVlk(dir.path(), "save four.csv plan.bmp site.vlk").status, 1);
  EXPECT_EQ(ReadText(dir.File("stderr.txt")), "Take at least 5 points.\n");
  EXPECT_FALSE(fs::exists(dir.File("site.vlk")));

  std::ofstream(dir.File("bad.csv")) << "1,1,45,7\nhello\n";
  EXPECT_EQ(RunVlk(dir.path(), "solve bad.csv").status, 1);
  EXPECT_EQ(ReadText(dir.File("stderr.txt")),
            "vlk: bad.csv:2: expected 4 fields x,y,lat,lon, found 1\n");

  EXPECT_EQ(RunVlk(dir.path(), "info plan.bmp").status, 1);
  EXPECT_NE(ReadText(dir.File("stderr.txt")).find("plan.bmp is not a projection file"),
            std::string::npos);
  EXPECT_EQ(RunVlk(dir.path(), "extract plan.bmp out.bmp").status, 1);
  EXPECT_FALSE(fs::exists(dir.File("out.bmp")));
  EXPECT_EQ(RunVlk(dir.path(), "info").status, 2);
}

}  // namespace
}  // namespace velkaro
