// The KMZ export unzipped with GDAL's zip reader: doc.kml first, its quad's
// corners against the geocode itself, lower-left first and counter-clockwise;
// the image it names, its size and pixels; JPEG only above 16 megapixels.
#include "gis/kmz_export.h"

#include "gis/jpeg_rows.h"
#include "gis/kml_document.h"
#include "tests/gis/export_test_support.h"
#include "tests/gis/gdal_image.h"
#include "tests/support/temp_folder.h"

#include <cpl_string.h>
#include <cpl_vsi.h>
#include <cstdlib>
#include <filesystem>
#include <gdal_priv.h>
#include <iconv.h>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::gis {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using testing::ReadText;
using testing::TempFolder;
using testing::WriteText;

std::vector<std::string> ZipEntries(const std::string& zip) {
  std::vector<std::string> names;
  const CPLStringList listing(VSIReadDirRecursive(("/vsizip/" + zip).c_str()));
  for (int i = 0; i < listing.size(); ++i) names.push_back(listing[i]);
  return names;
}

std::string Between(const std::string& text, const std::string& open, const std::string& close) {
  const size_t start = text.find(open);
  if (start == std::string::npos) return {};
  const size_t end = text.find(close, start + open.size());
  return end == std::string::npos ? std::string()
                                  : text.substr(start + open.size(), end - start - open.size());
}

class KmzExport : public ::testing::TestWithParam<Geocode> {};

TEST_P(KmzExport, QuadMatchesTheGeocodeAndTheImageThePlan) {
  const Geocode geocode = GetParam();
  SuitePlan plan("g/pal8.bmp");
  ASSERT_EQ(plan.error(), "");
  TempFolder dir;
  const std::string out = dir.File("site.kmz");
  ASSERT_EQ(ExportKmz(plan.rows(), Inverse(geocode), "Site <A&B>", out), "");
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"site.kmz"});

  const std::vector<std::string> entries = ZipEntries(out);
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.front(), "doc.kml");  // viewers open the first KML in the archive
  const std::string kml = ZipText(out, "doc.kml");
  EXPECT_NE(kml.find("<kml xmlns=\"http://www.opengis.net/kml/2.2\""), std::string::npos);
  EXPECT_EQ(Between(kml, "<name>", "</name>"), "Site &lt;A&amp;B&gt;");
  const std::string href = Between(kml, "<href>", "</href>");
  EXPECT_EQ(href, "files/plan.png");

  // lower-left, lower-right, upper-right, upper-left: the outer corners,
  // half a pixel outside the corner pixels' centres.
  const double w = 127, h = 64;
  const double corners[4][2] = {{-0.5, h - 0.5}, {w - 0.5, h - 0.5}, {w - 0.5, -0.5}, {-0.5, -0.5}};
  std::istringstream quad(Between(kml, "<gx:LatLonQuad>\n      <coordinates>", "</coordinates>"));
  std::string pair;
  int count = 0;
  while (quad >> pair) {
    ASSERT_LT(count, 4) << pair;
    const size_t comma = pair.find(',');
    ASSERT_NE(comma, std::string::npos) << pair;
    // At least ten decimals in each number.
    EXPECT_GE(comma - pair.find('.') - 1, 10u) << pair;
    EXPECT_GE(pair.size() - pair.rfind('.') - 1, 10u) << pair;
    const double lon = std::strtod(pair.c_str(), nullptr);
    const double lat = std::strtod(pair.c_str() + comma + 1, nullptr);
    EXPECT_TRUE(MapsTo(geocode, lon, lat, corners[count][0], corners[count][1])) << count;
    ++count;
  }
  EXPECT_EQ(count, 4);

  const RgbImage image = ReadWithGdal("/vsizip/" + out + "/" + href);
  const RgbImage reference = ReadWithGdal(kBmpSuite + "html/pal8.png");
  ASSERT_TRUE(image.ok && reference.ok) << image.error << reference.error;
  EXPECT_EQ(image.width, 127);
  EXPECT_EQ(image.height, 64);
  EXPECT_TRUE(image.rgb == reference.rgb);
}

INSTANTIATE_TEST_SUITE_P(Geocodes, KmzExport,
                         ::testing::Values(NorthUpGeocode(), RotatedShearedGeocode()));

TEST(KmzExportOfALargePlan, TakesJpegOnlyAbove16Megapixels) {
  TempFolder dir;
  for (const auto& [width, format] : {std::pair{4000, "PNG"}, {4001, "JPEG"}}) {
    WriteBandedPlan(dir.File("plan.bmp"), width, 4000);
    PlanFile plan(dir.File("plan.bmp"));
    ASSERT_EQ(plan.error(), "");
    const std::string out = dir.File("site.kmz");
    ASSERT_EQ(ExportKmz(plan.rows(), Inverse(NorthUpGeocode()), "site", out), "");
    const std::string href = Between(ZipText(out, "doc.kml"), "<href>", "</href>");
    EXPECT_EQ(href, std::string("files/plan.") + (width == 4000 ? "png" : "jpg"));
    GDALDataset* image =
        static_cast<GDALDataset*>(GDALOpen(("/vsizip/" + out + "/" + href).c_str(), GA_ReadOnly));
    ASSERT_NE(image, nullptr);
    EXPECT_STREQ(image->GetDriver()->GetDescription(), format);
    EXPECT_EQ(image->GetRasterXSize(), width);
    EXPECT_EQ(image->GetRasterYSize(), 4000);
    // Inside a flat band JPEG at quality 90 stays within a few levels.
    uint8_t rgb[3];
    ASSERT_EQ(image->RasterIO(GF_Read, 1500, 2250, 1, 1, rgb, 1, 1, GDT_Byte, 3, nullptr, 0, 0, 0,
                              nullptr),
              CE_None);
    const int index = 1749 / 500 * 16 + 1500 / 1000;  // row 2250 from the top is stored row 1749
    EXPECT_NEAR(rgb[0], 255 - index, 3);
    EXPECT_NEAR(rgb[2], index, 3);
    GDALClose(image);
  }
}

TEST(KmzExportFailure, LeavesNothingBehind) {
  SuitePlan plan("g/pal8.bmp");
  ASSERT_EQ(plan.error(), "");
  TempFolder dir;
  const std::string missing = dir.File("no-such-folder/site.kmz");
  const std::string error = ExportKmz(plan.rows(), Inverse(NorthUpGeocode()), "site", missing);
  EXPECT_EQ(error.rfind("cannot write " + missing + ": ", 0), 0u) << error;
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{});
}

// A 24-bit plan whose rows go missing after its header was checked, on
// either side of the JPEG threshold: the export names the plan's fault and
// leaves the old file. The plan is a sparse file, so it costs no disk.
TEST(KmzExportFailure, APlanThatCannotBeReadLeavesTheOldFile) {
  TempFolder dir;
  for (const int width : {4000, 4001}) {
    const uint64_t stride = image::BmpStride(width, 24);
    testing::WriteAll(dir.File("plan.bmp"), Bmp24Headers(width, 4000));
    fs::resize_file(dir.File("plan.bmp"), 54 + stride * 4000);
    PlanFile plan(dir.File("plan.bmp"));
    ASSERT_EQ(plan.error(), "");
    fs::resize_file(dir.File("plan.bmp"), 54 + stride * 100);  // the top rows are stored last
    WriteText(dir.File("site.kmz"), "the old file");
    EXPECT_EQ(ExportKmz(plan.rows(), Inverse(NorthUpGeocode()), "site", dir.File("site.kmz")),
              "the plan bitmap ends early")
        << width;
    EXPECT_EQ(ReadText(dir.File("site.kmz")), "the old file");
    EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"plan.bmp", "site.kmz"}));
  }
}

// libjpeg's failure path: a stream that takes no bytes makes libjpeg give up
// from inside its own frames; the writer returns its message instead, on the
// output's name.
TEST(KmzJpeg, AnOutputThatRefusesBytesIsReportedInLibjpegsWords) {
  SuitePlan plan("g/rgb24.bmp");
  ASSERT_EQ(plan.error(), "");
  VSILFILE* read_only = VSIFOpenL((kBmpSuite + "g/rgb24.bmp").c_str(), "rb");
  ASSERT_NE(read_only, nullptr);
  const Status written = WriteJpegRows(plan.rows(), 90, read_only, "site.kmz");
  VSIFCloseL(read_only);
  EXPECT_EQ(written.code(), Status::Code::kInvalid);
  EXPECT_EQ(written.path(), "site.kmz");
  EXPECT_EQ(written.message(),
            "cannot write site.kmz: Output file write error --- out of disk space?");
}

}  // namespace
}  // namespace velkaro::gis

namespace velkaro::gis {
namespace {

// True when glibc's strict UTF-8 decoder takes every byte of `text`.
bool IsUtf8(const std::string& text) {
  iconv_t to_wide = iconv_open("WCHAR_T", "UTF-8");
  if (to_wide == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = text;
  std::vector<char> out(in.size() * sizeof(wchar_t) + 16);
  char* from = in.data();
  size_t from_left = in.size();
  char* to = out.data();
  size_t to_left = out.size();
  const size_t done = iconv(to_wide, &from, &from_left, &to, &to_left);
  iconv_close(to_wide);
  return done != static_cast<size_t>(-1) && from_left == 0;
}

// A Linux file name is any bytes; the KML that names the plan after it says
// it is UTF-8 and must be.
TEST(KmlDocument, ANameThatIsNotUtf8StillGivesAUtf8Document) {
  const std::array<LonLat, 4> corners{};
  const std::string kept = "Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x97\xBA";  // ü, €, a map
  const std::string doc = GroundOverlayKml(kept, "files/plan.png", corners);
  EXPECT_EQ(Between(doc, "<name>", "</name>"), kept) << "well-formed UTF-8 passes unchanged";

  const std::string replacement = "\xEF\xBF\xBD";
  const std::vector<std::pair<std::string, std::string>> broken = {
      {"caf\xE9", "caf" + replacement},                           // Latin-1
      {"\xC0\xAF", replacement + replacement},                    // overlong '/'
      {"\xED\xA0\x80", replacement + replacement + replacement},  // a surrogate
      {"\xF4\x90\x80\x80", replacement + replacement + replacement + replacement},
      {"end\xE2\x82", "end" + replacement + replacement},  // cut short
  };
  for (const auto& [name, shown] : broken) {
    const std::string text = GroundOverlayKml(name, "files/plan.png", corners);
    EXPECT_TRUE(IsUtf8(text)) << name;
    EXPECT_EQ(Between(text, "<name>", "</name>"), shown);
  }
}

}  // namespace
}  // namespace velkaro::gis
