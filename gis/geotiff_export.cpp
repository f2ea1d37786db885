#include "gis/geotiff_export.h"

#include "gis/driver_copy.h"
#include "gis/gdal_session.h"
#include "gis/plan_dataset.h"
#include "gis/plan_georef.h"
#include "gis/sibling_output.h"

#include <algorithm>
#include <cpl_string.h>

namespace velkaro::gis {
namespace {

// Plans up to this many pixels on the longer side draw quickly enough
// without overviews; above it GDAL halves the plan until it fits one tile.
constexpr int kOverviewThreshold = 2048;


}  // namespace

std::string ExportGeoTiff(image::BmpRows& plan, const PixelToDegrees& inverse,
                          const std::string& out_path) {
  StartGdal();
  GdalErrorTrap trap;
  SiblingOutput output(out_path);
  PlanDataset source(plan, CornerGeoTransform(inverse));

  // GDAL's cloud-optimised layout: the tiles of each level together,
  // overviews first in the file and the directories ahead of them, so a
  // viewer reading over the network (or QField on a phone) fetches only
  // what it shows. Compression is the slow part; it runs on every core.
  const bool overviews =
      std::max(source.GetRasterXSize(), source.GetRasterYSize()) > kOverviewThreshold;
  CPLStringList options;
  options.SetNameValue("BLOCKSIZE", "256");
  options.SetNameValue("COMPRESS", "DEFLATE");
  options.SetNameValue("PREDICTOR", "YES");
  options.SetNameValue("BIGTIFF", "IF_SAFER");
  options.SetNameValue("NUM_THREADS", "ALL_CPUS");
  options.SetNameValue("OVERVIEWS", overviews ? "IGNORE_EXISTING" : "NONE");
  options.SetNameValue("RESAMPLING", "AVERAGE");
  return CopyThroughDriver("COG", source, options, output, trap, out_path);
}

}  // namespace velkaro::gis
