#include "gis/mbtiles_export.h"

#include "gis/gdal_session.h"
#include "gis/plan_dataset.h"
#include "gis/plan_georef.h"
#include "gis/sibling_output.h"

#include <algorithm>
#include <cpl_string.h>
#include <vector>

namespace velkaro::gis {

std::string ExportMbtiles(image::BmpRows& plan, const PixelToDegrees& inverse,
                          const std::string& name, const std::string& out_path) {
  StartGdal();
  GdalErrorTrap trap;
  SiblingOutput output(out_path);
  auto failed = [&] {
    return "cannot write " + out_path + ": " + output.InTargetTerms(trap.Message("GDAL failed"));
  };
  PlanDataset source(plan, CornerGeoTransform(inverse));

  CPLStringList options;
  options.SetNameValue("NAME", name.c_str());
  options.SetNameValue("DESCRIPTION", name.c_str());
  options.SetNameValue("TYPE", "overlay");
  options.SetNameValue("TILE_FORMAT", "PNG");
  // The finest level is never coarser than the plan: no detail is lost.
  options.SetNameValue("ZOOM_LEVEL_STRATEGY", "UPPER");
  options.SetNameValue("RESAMPLING", "BILINEAR");
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("MBTiles");
  if (driver == nullptr) return "cannot write " + out_path + ": GDAL has no MBTiles driver";
  GDALDataset* tiles =
      driver->CreateCopy(output.temp().c_str(), &source, FALSE, options.List(), nullptr, nullptr);
  if (tiles == nullptr || !source.error().empty()) {
    if (tiles != nullptr) GDALClose(tiles);
    return source.error().empty() ? failed() : source.error();
  }

  // Each coarser zoom level is an overview of half the size.
  std::vector<int> factors;
  const int longer = std::max(tiles->GetRasterXSize(), tiles->GetRasterYSize());
  for (int factor = 2; longer / (factor / 2) > kMbtilesLowestSpan; factor *= 2)
    factors.push_back(factor);
  if (!factors.empty())
    tiles->BuildOverviews("AVERAGE", int(factors.size()), factors.data(), 0, nullptr, nullptr,
                          nullptr);
  GDALClose(tiles);
  if (!source.error().empty()) return source.error();
  if (trap.failed()) return failed();
  return output.Commit();
}

}  // namespace velkaro::gis
