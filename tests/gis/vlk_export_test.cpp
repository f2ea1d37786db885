// vlk export as a user runs it: a plan saved by vlk save, exported, then
// looked at with gdalinfo (the GDAL command-line tool) and GDAL's zip
// reader; refusals with their exit status and nothing written.
#include "image/bmp_writer.h"
#include "site/geocode.h"
#include "tests/gis/export_test_support.h"
#include "tests/gis/gdal_image.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using testing::ReadAll;
using testing::ReadText;
using testing::TempFolder;
using testing::WriteAll;
using testing::WriteText;

std::string RunShell(const std::string& command) {
  std::string out;
  if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      out.append(buffer, got);
    ::pclose(pipe);
  }
  return out;
}

struct LonLat {
  double lon = 0.0, lat = 0.0;
};

// "Upper Left  (   7.2499925,  45.5000040) (...)" from gdalinfo's report.
LonLat GdalinfoCorner(const std::string& report, const std::string& label) {
  LonLat corner;
  const size_t at = report.find(label + " ");
  if (at != std::string::npos)
    std::sscanf(report.c_str() + report.find('(', at), "( %lf , %lf )", &corner.lon, &corner.lat);
  return corner;
}

class VlkExport : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(kBmpSuite + "g/rgb24.bmp", dir.File("plan.bmp"));
    // Five taps exactly on a rotated, sheared geocode.
    const PixelToDegrees inverse = Inverse(RotatedShearedGeocode());
    WriteTaps(dir.File("taps.csv"), inverse, {{5, 5}, {120, 10}, {60, 30}, {10, 60}, {115, 58}});
    ASSERT_EQ(RunVlk(dir.path(), "save taps.csv plan.bmp site.vlk").status, 0)
        << ReadText(dir.File("stderr.txt"));
    const std::vector<uint8_t> saved = ReadAll(dir.File("site.vlk"));
    ASSERT_GT(saved.size(), 145u);
    geocode = GeocodeFromHeader(saved.data());
  }

  TempFolder dir;
  Geocode geocode;  // as saved
};

TEST_F(VlkExport, GdalinfoAndTheKmlAgreeOnTheCornersTheGeocodeGives) {
  ASSERT_EQ(RunVlk(dir.path(), "export site.vlk site.tif").status, 0)
      << ReadText(dir.File("stderr.txt"));
  ASSERT_EQ(RunVlk(dir.path(), "export site.vlk site.kmz").status, 0)
      << ReadText(dir.File("stderr.txt"));

  const std::string report = RunShell("gdalinfo '" + dir.File("site.tif") + "' 2>&1");
  EXPECT_NE(report.find("Driver: GTiff/GeoTIFF"), std::string::npos) << report;
  EXPECT_NE(report.find("ID[\"EPSG\",4326]]"), std::string::npos) << report;
  // gdalinfo prints 7 decimals, about a hundredth of this plan's pixels.
  struct Corner {
    const char* label;
    double x, y;
  };
  const Corner corners[] = {{"Lower Left", -0.5, 63.5},
                            {"Lower Right", 126.5, 63.5},
                            {"Upper Right", 126.5, -0.5},
                            {"Upper Left", -0.5, -0.5}};
  for (const Corner& c : corners) {
    const LonLat at = GdalinfoCorner(report, c.label);
    EXPECT_TRUE(MapsTo(geocode, at.lon, at.lat, c.x, c.y, 0.02)) << c.label << "\n" << report;
  }

  // The quad lists the same corners in the same order, to the last digit
  // gdalinfo shows.
  const std::string kml = ZipText(dir.File("site.kmz"), "doc.kml");
  EXPECT_NE(kml.find("<name>site</name>"), std::string::npos) << kml;
  const size_t start = kml.find("<coordinates>") + 13;
  std::istringstream quad(kml.substr(start, kml.find("</coordinates>") - start));
  for (const Corner& c : corners) {
    LonLat at;
    char comma = 0;
    ASSERT_TRUE(quad >> at.lon >> comma >> at.lat) << kml;
    const LonLat shown = GdalinfoCorner(report, c.label);
    EXPECT_NEAR(at.lon, shown.lon, 5e-8) << c.label;
    EXPECT_NEAR(at.lat, shown.lat, 5e-8) << c.label;
  }
}

TEST_F(VlkExport, ReplacesAnOlderExportKeepingItsPermissions) {
  WriteText(dir.File("site.tif"), "older");
  ASSERT_EQ(::chmod(dir.File("site.tif").c_str(), 0640), 0);
  ASSERT_EQ(RunVlk(dir.path(), "export site.vlk site.tif").status, 0);
  struct stat info {};
  ASSERT_EQ(::stat(dir.File("site.tif").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(ReadText(dir.File("site.tif")).rfind("II*", 0), 0u);  // a little-endian TIFF now
}

// An export killed before its rename leaves its hidden file; the next
// export of the same target clears it.
TEST_F(VlkExport, AnExportKilledMidWayLeavesNothingTheNextOneKeeps) {
  const Status plan = image::WriteBmp(dir.File("big.bmp"), {.width = 4000, .height = 3000},
                                      [](int32_t y, uint8_t* rgb) {
                                        for (int x = 0; x < 3 * 4000; ++x) rgb[x] = uint8_t(x * y);
                                      });
  ASSERT_TRUE(plan.ok()) << plan.message();
  ASSERT_EQ(RunVlk(dir.path(), "save taps.csv big.bmp big.vlk").status, 0);
  const auto hidden = [this] {
    std::vector<std::string> names;
    for (const std::string& name : FolderNames(dir.path()))
      if (name.rfind(".big.tif.", 0) == 0) names.push_back(name);
    return names;
  };
  ChildGroup killed;
  std::string error;
  ASSERT_TRUE(killed.Start(VELKARO_BIN_DIR "/vlk", {"export", "big.vlk", "big.tif"},
                           ChildStreams{.in = "/dev/null", .out = "/dev/null", .err = {}, .dir = dir.path()}, &error))
      << error;
  for (int waited = 0; hidden().empty() && waited < 10000; ++waited) ::usleep(1000);
  killed.Kill();
  ASSERT_EQ(hidden().size(), 1u) << "the export ended before it could be killed";
  EXPECT_FALSE(fs::exists(dir.File("big.tif")));

  ASSERT_EQ(RunVlk(dir.path(), "export big.vlk big.tif").status, 0)
      << ReadText(dir.File("stderr.txt"));
  EXPECT_TRUE(hidden().empty());
  EXPECT_EQ(ReadText(dir.File("big.tif")).rfind("II*", 0), 0u);
}

TEST_F(VlkExport, RefusalsExitWithTheirStatusAndWriteNothing) {
  const std::vector<std::string> files = FolderNames(dir.path());

  EXPECT_EQ(RunVlk(dir.path(), "export site.vlk site.png").status, 2);
  EXPECT_EQ(ReadText(dir.File("stderr.txt")), "usage: vlk export FILE OUT.tif|OUT.kmz|OUT.pdf|OUT.mbtiles\n");
  EXPECT_EQ(RunVlk(dir.path(), "export site.vlk").status, 2);

  EXPECT_EQ(RunVlk(dir.path(), "export plan.bmp out.tif").status, 1);
  EXPECT_NE(ReadText(dir.File("stderr.txt")).find("plan.bmp is not a projection file"),
            std::string::npos);

  // A geocode that maps the whole site onto one line has no inverse.
  std::vector<uint8_t> singular = ReadAll(dir.File("site.vlk"));
  for (int k : {0, 1}) std::fill_n(singular.data() + 13 + 8 * k, 8, 0);
  WriteAll(dir.File("singular.vlk"), singular);
  EXPECT_EQ(RunVlk(dir.path(), "export singular.vlk out.kmz").status, 1);
  EXPECT_EQ(ReadText(dir.File("stderr.txt")), "vlk: singular.vlk holds no invertible geocode\n");

  // A projection file whose plan is no bitmap at all.
  ASSERT_EQ(RunVlk(dir.path(), "save taps.csv taps.csv text.vlk").status, 0);
  EXPECT_EQ(RunVlk(dir.path(), "export text.vlk out.tif").status, 1);
  EXPECT_EQ(ReadText(dir.File("stderr.txt")),
            "vlk: text.vlk: the plan bitmap cannot be read: not a BMP file (no BM signature)\n");

  fs::remove(dir.File("singular.vlk"));
  fs::remove(dir.File("text.vlk"));
  fs::remove(dir.File("text.vlk.points"));
  fs::remove(dir.File("taps.csvc"));
  EXPECT_EQ(FolderNames(dir.path()), files);
}

}  // namespace
}  // namespace velkaro
