// The GeoTIFF export read back with GDAL: its coordinate system, its
// geotransform against the geocode itself, its pixels against the suite's
// reference image, its layout; and failures that leave nothing behind.
#include "gis/geotiff_export.h"

#include "tests/gis/export_test_support.h"
#include "tests/gis/gdal_image.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::gis {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using testing::ReadText;
using testing::TempFolder;
using testing::WriteText;

struct Tiff {
  explicit Tiff(const std::string& path)
      : dataset(static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly))) {}
  ~Tiff() {
    if (dataset != nullptr) GDALClose(dataset);
  }
  GDALDataset* dataset;
};

class GeoTiffExport : public ::testing::TestWithParam<Geocode> {};

TEST_P(GeoTiffExport, IsWgs84WithTheGeocodesCornersAndThePlansPixels) {
  const Geocode geocode = GetParam();
  SuitePlan plan("g/rgb24.bmp");
  ASSERT_EQ(plan.error(), "");
  TempFolder dir;
  const std::string out = dir.File("site.tif");
  ASSERT_EQ(ExportGeoTiff(plan.rows(), Inverse(geocode), out), "");
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"site.tif"});

  Tiff tiff(out);
  ASSERT_NE(tiff.dataset, nullptr);
  EXPECT_STREQ(tiff.dataset->GetDriver()->GetDescription(), "GTiff");
  const OGRSpatialReference* crs = tiff.dataset->GetSpatialRef();
  ASSERT_NE(crs, nullptr);
  EXPECT_TRUE(crs->IsGeographic());
  EXPECT_STREQ(crs->GetAuthorityName(nullptr), "EPSG");
  EXPECT_STREQ(crs->GetAuthorityCode(nullptr), "4326");

  // GDAL's corner convention: (col, row) = (0, 0) is the outer top-left
  // corner, which is plan pixel (-0.5, -0.5) in the geocode's terms.
  double t[6];
  ASSERT_EQ(tiff.dataset->GetGeoTransform(t), CE_None);
  const int w = tiff.dataset->GetRasterXSize(), h = tiff.dataset->GetRasterYSize();
  ASSERT_EQ(w, 127);
  ASSERT_EQ(h, 64);
  for (auto [col, row] : {std::pair{0.0, 0.0},
                          {double(w), 0.0},
                          {0.0, double(h)},
                          {double(w), double(h)},
                          {40.5, 20.5}}) {
    const double lon = t[0] + col * t[1] + row * t[2];
    const double lat = t[3] + col * t[4] + row * t[5];
    EXPECT_TRUE(MapsTo(geocode, lon, lat, col - 0.5, row - 0.5)) << col << "," << row;
  }

  const RgbImage written = ReadWithGdal(out);
  const RgbImage reference = ReadWithGdal(kBmpSuite + "html/rgb24.png");
  ASSERT_TRUE(written.ok && reference.ok) << written.error << reference.error;
  EXPECT_TRUE(written.rgb == reference.rgb);

  GDALRasterBand* red = tiff.dataset->GetRasterBand(1);
  EXPECT_EQ(tiff.dataset->GetRasterCount(), 3);
  EXPECT_EQ(red->GetColorInterpretation(), GCI_RedBand);
  EXPECT_EQ(red->GetOverviewCount(), 0);  // small plans need none
  EXPECT_STREQ(tiff.dataset->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
  EXPECT_STREQ(tiff.dataset->GetMetadataItem("PREDICTOR", "IMAGE_STRUCTURE"), "2");
  int block_w = 0, block_h = 0;
  red->GetBlockSize(&block_w, &block_h);
  EXPECT_EQ(block_w, 256);
  EXPECT_EQ(block_h, 256);
}

INSTANTIATE_TEST_SUITE_P(Geocodes, GeoTiffExport,
                         ::testing::Values(NorthUpGeocode(), RotatedShearedGeocode()));

// A plan over 2048 pixels on a side gets internal overviews down to one tile.
TEST(GeoTiffExportOfALargePlan, HasInternalOverviewsDownToOneTile) {
  TempFolder dir;
  WriteBandedPlan(dir.File("wide.bmp"), 2100, 40);
  PlanFile plan(dir.File("wide.bmp"));
  ASSERT_EQ(plan.error(), "");
  ASSERT_EQ(ExportGeoTiff(plan.rows(), Inverse(NorthUpGeocode()), dir.File("wide.tif")), "");
  Tiff tiff(dir.File("wide.tif"));
  ASSERT_NE(tiff.dataset, nullptr);
  GDALRasterBand* red = tiff.dataset->GetRasterBand(1);
  ASSERT_EQ(red->GetOverviewCount(), 4);  // 1050, 525, 263, 132 wide
  EXPECT_EQ(red->GetOverview(0)->GetXSize(), 1050);
  EXPECT_LE(red->GetOverview(3)->GetXSize(), 256);
  // Internal: no .ovr beside the file.
  EXPECT_FALSE(fs::exists(dir.File("wide.tif.ovr")));
}

TEST(GeoTiffExportFailure, LeavesTheTargetAndTheFolderAsTheyWere) {
  SuitePlan plan("g/rgb24.bmp");
  ASSERT_EQ(plan.error(), "");
  TempFolder dir;
  const PixelToDegrees inverse = Inverse(NorthUpGeocode());

  // GDAL's own reason, in terms of the file asked for.
  const std::string missing = dir.File("no-such-folder/site.tif");
  const std::string error = ExportGeoTiff(plan.rows(), inverse, missing);
  EXPECT_EQ(error.rfind("cannot write " + missing + ": ", 0), 0u) << error;
  EXPECT_EQ(error.find(".tmp"), std::string::npos) << error;

  // A folder where the file should go is refused, and stays.
  fs::create_directory(dir.File("site.tif"));
  EXPECT_EQ(ExportGeoTiff(plan.rows(), inverse, dir.File("site.tif")),
            dir.File("site.tif") + " contains an invalid path.");
  EXPECT_TRUE(fs::is_directory(dir.File("site.tif")));
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"site.tif"});
}

TEST(GeoTiffExportFailure, APlanThatCannotBeReadLeavesNothing) {
  TempFolder dir;
  fs::copy_file(kBmpSuite + "g/rgb24.bmp", dir.File("plan.bmp"));
  PlanFile plan(dir.File("plan.bmp"));
  ASSERT_EQ(plan.error(), "");
  fs::resize_file(dir.File("plan.bmp"), 2000);  // rows go missing after the check
  WriteText(dir.File("site.tif"), "the old file");
  EXPECT_EQ(ExportGeoTiff(plan.rows(), Inverse(NorthUpGeocode()), dir.File("site.tif")),
            "the plan bitmap ends early");
  EXPECT_EQ(ReadText(dir.File("site.tif")), "the old file");
  EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"plan.bmp", "site.tif"}));
}

}  // namespace
}  // namespace velkaro::gis
