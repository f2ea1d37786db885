#include "gis/geotiff_export.h"

#include "gis/gdal_session.h"
#include "gis/plan_dataset.h"
#include "gis/plan_georef.h"
#include "gis/sibling_output.h"

#include <algorithm>
#include <cpl_string.h>
#include <vector>

namespace velkaro::gis {
namespace {

constexpr int kOverviewThreshold = 2048;  // pixels on the longer side
constexpr int kTileSide = 256;

// Halvings until the whole plan fits in one tile: each level is a quarter of
// the previous one, so together they add at most a third to the file.
std::vector<int> OverviewFactors(int width, int height) {
  std::vector<int> factors;
  const int longer = std::max(width, height);
  if (longer <= kOverviewThreshold) return factors;
  for (int factor = 2; (longer + factor - 1) / factor > kTileSide / 2; factor *= 2)
    factors.push_back(factor);
  return factors;
}

std::string Failed(const GdalErrorTrap& trap, const SiblingOutput& output,
                   const std::string& out_path) {
  return "cannot write " + out_path + ": " + output.InTargetTerms(trap.Message("GDAL failed"));
}

}  // namespace

std::string ExportGeoTiff(image::BmpRows& plan, const PixelToDegrees& inverse,
                          const std::string& out_path) {
  StartGdal();
  GdalErrorTrap trap;
  SiblingOutput output(out_path);
  PlanDataset source(plan, CornerGeoTransform(inverse));

  CPLStringList options;
  options.SetNameValue("TILED", "YES");
  options.SetNameValue("BLOCKXSIZE", "256");
  options.SetNameValue("BLOCKYSIZE", "256");
  options.SetNameValue("COMPRESS", "DEFLATE");
  options.SetNameValue("PREDICTOR", "2");
  options.SetNameValue("PHOTOMETRIC", "RGB");
  options.SetNameValue("INTERLEAVE", "PIXEL");
  options.SetNameValue("BIGTIFF", "IF_SAFER");
  GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
  if (gtiff == nullptr) return "cannot write " + out_path + ": GDAL has no GeoTIFF driver";
  GDALDataset* tiff =
      gtiff->CreateCopy(output.temp().c_str(), &source, FALSE, options.List(), nullptr, nullptr);
  if (tiff == nullptr || !source.error().empty()) {
    if (tiff != nullptr) GDALClose(tiff);
    return source.error().empty() ? Failed(trap, output, out_path) : source.error();
  }

  std::vector<int> factors = OverviewFactors(source.GetRasterXSize(), source.GetRasterYSize());
  if (!factors.empty()) {
    CPLSetThreadLocalConfigOption("COMPRESS_OVERVIEW", "DEFLATE");
    CPLSetThreadLocalConfigOption("PREDICTOR_OVERVIEW", "2");
    tiff->BuildOverviews("AVERAGE", static_cast<int>(factors.size()), factors.data(), 0, nullptr,
                         nullptr, nullptr);
    CPLSetThreadLocalConfigOption("COMPRESS_OVERVIEW", nullptr);
    CPLSetThreadLocalConfigOption("PREDICTOR_OVERVIEW", nullptr);
  }
  // Closing writes the last tiles and the directories; failures there count.
  GDALClose(tiff);
  if (trap.failed()) return Failed(trap, output, out_path);
  return output.Commit();
}

}  // namespace velkaro::gis
