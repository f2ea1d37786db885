#pragma once

#include "image/bmp_rows.h"
#include "site/geocode.h"

#include <string>

namespace velkaro::gis {

// Zoom levels go down to the first where the plan spans no more than this
// many pixels (one tile) on its longer side; lying across tile edges it
// touches a few tiles there, and still shows where the site is. GDAL's
// MBTiles writer builds every level down to that one.
inline constexpr int kMbtilesLowestSpan = 256;

// Writes the plan as MBTiles at `out_path`: reprojected to Web Mercator
// (EPSG:3857) and cut into 256-pixel PNG tiles with transparency outside
// the plan, from the zoom level at least as fine as the plan's own pixels
// down to the level where it fits in a tile (kMbtilesLowestSpan); the metadata names
// it `name` and gives its bounds and zoom range. OruxMaps, Locus, OsmAnd and
// QField open it offline. Rows stream from `plan` through GDAL's warper.
//
// All or nothing, as ExportGeoTiff.
std::string ExportMbtiles(image::BmpRows& plan, const PixelToDegrees& inverse,
                          const std::string& name, const std::string& out_path);

}  // namespace velkaro::gis
