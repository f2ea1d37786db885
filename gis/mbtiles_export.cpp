#include "gis/mbtiles_export.h"

#include "gis/gdal_session.h"
#include "gis/plan_dataset.h"
#include "gis/plan_georef.h"
#include "gis/sibling_output.h"

#include <algorithm>
#include <cerrno>
#include <cpl_string.h>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace velkaro::gis {

std::string ExportMbtiles(image::BmpRows& plan, const PixelToDegrees& inverse,
                          const std::string& name, const std::string& out_path) {
  StartGdal();
  GdalErrorTrap trap;
  SiblingOutput output(out_path);
  auto failed = [&] {
    std::string text = output.InTargetTerms(trap.Message("GDAL failed"));
    for (size_t at = text.find(out_path + ".mbtiles"); at != std::string::npos;
         at = text.find(out_path + ".mbtiles", at))
      text.erase(at + out_path.size(), 8);
    return "cannot write " + out_path + ": " + text;
  };
  PlanDataset source(plan, CornerGeoTransform(inverse));
  // GDAL takes a file for MBTiles by its extension, and the overviews that
  // make the coarser zoom levels are built through the file reopened: the
  // tiles are written under the hidden name with ".mbtiles" added, which
  // the sweep of killed writers' names covers too, and moved to the hidden
  // name itself once complete.
  const std::string work = output.temp() + ".mbtiles";
  struct Unlink {
    const std::string& path;
    ~Unlink() { ::unlink(path.c_str()); }
  } remove_work{work};

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
      driver->CreateCopy(work.c_str(), &source, FALSE, options.List(), nullptr, nullptr);
  if (tiles == nullptr || !source.error().empty()) {
    if (tiles != nullptr) GDALClose(tiles);
    return source.error().empty() ? failed() : source.error();
  }

  GDALClose(tiles);
  if (trap.failed()) return failed();

  // Each coarser zoom level is an overview of half the size, built through
  // the file opened anew: the dataset CreateCopy hands back has no handle
  // to its database for that.
  const char* const drivers[] = {"MBTiles", nullptr};
  GDALDataset* reopened = GDALDataset::Open(work.c_str(), GDAL_OF_RASTER | GDAL_OF_UPDATE, drivers,
                                            nullptr, nullptr);
  if (reopened == nullptr) return failed();
  std::vector<int> factors;
  const int longer = std::max(reopened->GetRasterXSize(), reopened->GetRasterYSize());
  for (int factor = 2; longer / (factor / 2) > kMbtilesLowestSpan; factor *= 2)
    factors.push_back(factor);
  if (!factors.empty())
    reopened->BuildOverviews("AVERAGE", int(factors.size()), factors.data(), 0, nullptr, nullptr,
                             nullptr);
  GDALClose(reopened);
  if (!source.error().empty()) return source.error();
  if (trap.failed()) return failed();
  if (::rename(work.c_str(), output.temp().c_str()) != 0)
    return FileErrorText(FileErrorCauseFromErrno(errno), out_path);
  return output.Commit();
}

}  // namespace velkaro::gis
