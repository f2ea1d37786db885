// vlk export FILE OUT: the plan of a projection file as one file that GIS
// tools and field apps open in place, the format chosen by OUT's extension:
// .tif (or .tiff) a cloud-optimised GeoTIFF, .kmz a KMZ ground overlay, .pdf
// a geospatial PDF, .mbtiles Web Mercator tiles.
#include "gis/projection_export.h"
#include "tools/vlk/commands.h"
#include "tools/vlk/projection_summary.h"

#include <cstdio>
#include <string>

namespace velkaro::vlk {

int CmdExport(int argc, char** argv) {
  if (argc != 2 || gis::ExportFormatOf(argv[1]) == gis::ExportFormat::kNone) {
    std::fprintf(stderr, "usage: vlk export FILE OUT.tif|OUT.kmz|OUT.pdf|OUT.mbtiles\n");
    return 2;
  }
  // The header's own checks first, with vlk's words for a file refused.
  ProjectionSummary summary;
  if (!ReadSummary(argv[0], summary)) return 1;
  const std::string error = gis::ExportProjection(argv[0], argv[1]);
  if (error.empty()) return 0;
  std::fprintf(stderr, "vlk: %s\n", error.c_str());
  return 1;
}

}  // namespace velkaro::vlk
