// The exports for field apps through the one core entry point, each read
// back with GDAL: the geospatial PDF's page size and georeferencing, the
// MBTiles' zoom range, bounds and plan corners, the GeoTIFF's cloud-optimised
// layout, the KMZ entries' dates; refusals that leave nothing behind.
#include "gis/pdf_export.h"
#include "gis/projection_export.h"
#include "tests/gis/export_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

#include <cmath>
#include <cpl_conv.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <ctime>
#include <filesystem>
#include <gdal_priv.h>
#include <memory>
#include <ogr_spatialref.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::gis {
namespace {

namespace fs = std::filesystem;
using namespace testing;

struct Closer {
  void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

Dataset Open(const std::string& path, std::vector<std::string> options = {}) {
  GDALAllRegister();
  CPLStringList list;
  for (const std::string& option : options) list.AddString(option.c_str());
  return Dataset(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr,
                                   list.List(), nullptr));
}

// A plan of `w` x `h` with a pattern, saved by vlk save from five taps laid
// exactly on `geocode`; the geocode as saved.
Geocode SavePlan(const TempFolder& dir, int w, int h, const Geocode& geocode) {
  EXPECT_TRUE(image::WriteBmp(dir.File("plan.bmp"), {.width = w, .height = h},
                              [w](int32_t row, uint8_t* rgb) {
                                for (int x = 0; x < w; ++x) {
                                  rgb[3 * x] = uint8_t(x);
                                  rgb[3 * x + 1] = uint8_t(row);
                                  rgb[3 * x + 2] = uint8_t(x ^ row);
                                }
                              })
                  .ok());
  std::vector<std::pair<int, int>> points;
  for (auto [fx, fy] : {std::pair{0.05, 0.05}, {0.95, 0.1}, {0.5, 0.5}, {0.1, 0.9}, {0.9, 0.92}})
    points.emplace_back(int(fx * w), int(fy * h));
  WriteTaps(dir.File("taps.csv"), Inverse(geocode), points);
  EXPECT_EQ(RunVlk(dir.path(), "save taps.csv plan.bmp site.vlk").status, 0)
      << ReadText(dir.File("stderr.txt"));
  const std::vector<uint8_t> saved = ReadAll(dir.File("site.vlk"));
  return saved.size() > 145 ? GeocodeFromHeader(saved.data()) : Geocode{};
}

class FieldExport : public ::testing::TestWithParam<Geocode> {
 protected:
  TempFolder dir;
};

TEST_P(FieldExport, TheGeoPdfHasThePlansPageAndCorners) {
  const Geocode geocode = SavePlan(dir, 127, 64, GetParam());
  ASSERT_EQ(ExportProjection(dir.File("site.vlk"), dir.File("site.pdf")), "");
  // GDAL renders at 150 dots an inch unless told, the resolution the plan
  // was laid out at: the page comes back with the plan's own pixel grid.
  Dataset pdf = Open(dir.File("site.pdf"));
  ASSERT_TRUE(pdf);
  EXPECT_STREQ(pdf->GetDriver()->GetDescription(), "PDF");
  ASSERT_EQ(pdf->GetRasterXSize(), 127);
  ASSERT_EQ(pdf->GetRasterYSize(), 64);
  const OGRSpatialReference* crs = pdf->GetSpatialRef();
  ASSERT_NE(crs, nullptr);
  EXPECT_TRUE(crs->IsGeographic());
  double t[6];
  ASSERT_EQ(pdf->GetGeoTransform(t), CE_None);
  for (auto [col, row] : {std::pair{0.0, 0.0}, {127.0, 0.0}, {0.0, 64.0}, {127.0, 64.0}}) {
    const double lon = t[0] + col * t[1] + row * t[2];
    const double lat = t[3] + col * t[4] + row * t[5];
    EXPECT_TRUE(MapsTo(geocode, lon, lat, col - 0.5, row - 0.5, 0.05)) << col << "," << row;
  }
  // At 72 dots an inch a pixel is a PDF point: the page is the plan at 150.
  Dataset points = Open(dir.File("site.pdf"), {"DPI=72"});
  ASSERT_TRUE(points);
  EXPECT_EQ(points->GetRasterXSize(), std::lround(127 * 72 / kPdfDpi));
  EXPECT_EQ(points->GetRasterYSize(), std::lround(64 * 72 / kPdfDpi));
}

// Where a position lands in a Web Mercator dataset, in its pixels.
struct Mercator {
  explicit Mercator(GDALDataset& tiles) {
    tiles.GetGeoTransform(t);
    OGRSpatialReference wgs84, web;
    wgs84.importFromEPSG(4326);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    web.importFromEPSG(3857);
    to_web.reset(OGRCreateCoordinateTransformation(&wgs84, &web));
  }
  std::pair<double, double> Pixel(double lon, double lat) const {
    double x = lon, y = lat;
    to_web->Transform(1, &x, &y);
    return {(x - t[0]) / t[1], (y - t[3]) / t[5]};
  }
  double t[6];
  std::unique_ptr<OGRCoordinateTransformation> to_web;
};

TEST_P(FieldExport, TheMbtilesSpanTheZoomLevelsAndLieWhereTheGeocodePutsThePlan) {
  const Geocode geocode = SavePlan(dir, 1500, 1000, GetParam());
  ASSERT_EQ(ExportProjection(dir.File("site.vlk"), dir.File("site.mbtiles")), "");
  Dataset tiles = Open(dir.File("site.mbtiles"));
  ASSERT_TRUE(tiles);
  EXPECT_STREQ(tiles->GetMetadataItem("name"), "site");
  const int minzoom = std::atoi(tiles->GetMetadataItem("minzoom"));
  const int maxzoom = std::atoi(tiles->GetMetadataItem("maxzoom"));

  // The finest level is at least as fine as the plan, the next coarser not.
  const PixelToDegrees inverse = Inverse(geocode);
  Mercator mercator(*tiles);
  const auto [x0, y0] = mercator.Pixel(inverse.Lon(0, 0), inverse.Lat(0, 0));
  const auto [x1, y1] = mercator.Pixel(inverse.Lon(1, 0), inverse.Lat(1, 0));
  const double plan_pixel = std::hypot(x1 - x0, y1 - y0);  // in tile pixels at maxzoom
  EXPECT_GE(plan_pixel, 1.0);
  EXPECT_LT(plan_pixel, 2.0);
  EXPECT_NEAR(mercator.t[1], 2 * M_PI * 6378137.0 / 256 / std::pow(2.0, maxzoom), 1e-6);

  // Coarser levels down to the first where the plan fits in a tile.
  const double span = std::max(tiles->GetRasterXSize(), tiles->GetRasterYSize());
  EXPECT_GT(maxzoom, minzoom);
  EXPECT_LE(span / std::pow(2.0, maxzoom - minzoom), 256.0);
  EXPECT_GT(span / std::pow(2.0, maxzoom - minzoom - 1), 256.0);
  EXPECT_EQ(tiles->GetRasterBand(1)->GetOverviewCount(), maxzoom - minzoom);

  // Each outer corner to a pixel: opaque just inside, transparent outside.
  GDALRasterBand* alpha = tiles->GetRasterBand(4);
  ASSERT_EQ(alpha->GetColorInterpretation(), GCI_AlphaBand);
  auto alpha_at = [&](double col, double row) {
    const auto [x, y] = mercator.Pixel(inverse.Lon(col, row), inverse.Lat(col, row));
    uint8_t value = 0;
    if (x < 0 || y < 0 || x >= tiles->GetRasterXSize() || y >= tiles->GetRasterYSize()) return 0;
    if (alpha->RasterIO(GF_Read, int(x), int(y), 1, 1, &value, 1, 1, GDT_Byte, 0, 0) != CE_None)
      return -1;
    return int(value);
  };
  for (auto [col, row, in_x, in_y] :
       {std::tuple{-0.5, -0.5, 1, 1}, {1499.5, -0.5, -1, 1}, {-0.5, 999.5, 1, -1}, {1499.5, 999.5, -1, -1}}) {
    EXPECT_EQ(alpha_at(col + 2 * in_x, row + 2 * in_y), 255) << col << "," << row;
    EXPECT_EQ(alpha_at(col - 2 * in_x, row - 2 * in_y), 0) << col << "," << row;
  }

  // The bounds are the corners' box, to a pixel of the finest level.
  double west = 180, east = -180, south = 90, north = -90;
  for (auto [col, row] : {std::pair{-0.5, -0.5}, {1499.5, -0.5}, {-0.5, 999.5}, {1499.5, 999.5}}) {
    west = std::min(west, inverse.Lon(col, row));
    east = std::max(east, inverse.Lon(col, row));
    south = std::min(south, inverse.Lat(col, row));
    north = std::max(north, inverse.Lat(col, row));
  }
  double bounds[4] = {};
  ASSERT_EQ(std::sscanf(tiles->GetMetadataItem("bounds"), "%lf,%lf,%lf,%lf", &bounds[0],
                        &bounds[1], &bounds[2], &bounds[3]),
            4);
  const double degree_pixel = 360.0 / 256 / std::pow(2.0, maxzoom);
  EXPECT_NEAR(bounds[0], west, degree_pixel);
  EXPECT_NEAR(bounds[1], south, degree_pixel);
  EXPECT_NEAR(bounds[2], east, degree_pixel);
  EXPECT_NEAR(bounds[3], north, degree_pixel);
}

INSTANTIATE_TEST_SUITE_P(Geocodes, FieldExport,
                         ::testing::Values(NorthUpGeocode(), RotatedShearedGeocode()));

// The GeoTIFF of a plan saved at `w` x `h`, exported to a file named `name`.
Dataset ExportedTiff(const TempFolder& dir, int w, int h, const std::string& name) {
  SavePlan(dir, w, h, NorthUpGeocode());
  EXPECT_EQ(ExportProjection(dir.File("site.vlk"), dir.File(name)), "");
  return Open(dir.File(name));
}

TEST(CogExport, SmallAndLargePlansHaveTheCloudOptimisedLayout) {
  TempFolder dir;
  Dataset small = ExportedTiff(dir, 127, 64, "site.tif");
  ASSERT_TRUE(small);
  EXPECT_STREQ(small->GetMetadataItem("LAYOUT", "IMAGE_STRUCTURE"), "COG");
  EXPECT_EQ(small->GetRasterBand(1)->GetOverviewCount(), 0);

  TempFolder large_dir;
  Dataset large = ExportedTiff(large_dir, 3000, 300, "site.TIFF");
  ASSERT_TRUE(large);
  EXPECT_STREQ(large->GetMetadataItem("LAYOUT", "IMAGE_STRUCTURE"), "COG");
  EXPECT_STREQ(large->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
  EXPECT_EQ(large->GetRasterBand(1)->GetOverviewCount(), 4);  // 1500, 750, 375, 188 wide
}

TEST(KmzExport, EntriesCarryTheTimeOfTheExport) {
  TempFolder dir;
  SavePlan(dir, 127, 64, NorthUpGeocode());
  const std::time_t before = std::time(nullptr);
  ASSERT_EQ(ExportProjection(dir.File("site.vlk"), dir.File("site.kmz")), "");
  for (const char* entry : {"doc.kml", "files/plan.png"}) {
    VSIStatBufL info;
    ASSERT_EQ(VSIStatL(("/vsizip/" + dir.File("site.kmz") + "/" + entry).c_str(), &info), 0);
    // GDAL reads the zip's local time as UTC: within a day, and never 1980.
    EXPECT_LT(std::abs(double(info.st_mtime - before)), 86400.0 + 2) << entry;
  }
}

TEST(ExportRefusal, NamesWhatIsWrongAndLeavesNothing) {
  TempFolder dir;
  SavePlan(dir, 127, 64, NorthUpGeocode());
  const std::vector<std::string> files = FolderNames(dir.path());
  EXPECT_EQ(ExportProjection(dir.File("site.vlk"), dir.File("site.png")),
            dir.File("site.png") + ": the plan is exported to .tif, .tiff, .kmz, .pdf or .mbtiles");
  EXPECT_EQ(ExportProjection(dir.File("plan.bmp"), dir.File("site.pdf")),
            dir.File("plan.bmp") + " is not a projection file");
  for (const char* name : {"gone/site.pdf", "gone/site.mbtiles"}) {
    const std::string error = ExportProjection(dir.File("site.vlk"), dir.File(name));
    EXPECT_EQ(error.rfind("cannot write " + dir.File(name) + ": ", 0), 0u) << error;
    EXPECT_EQ(error.find(".tmp"), std::string::npos) << error;
  }
  EXPECT_EQ(FolderNames(dir.path()), files);
}

}  // namespace
}  // namespace velkaro::gis
