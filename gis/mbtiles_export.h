#pragma once

#include "image/bmp_rows.h"
#include "site/geocode.h"

#include <string>

namespace velkaro::gis {

// Zoom levels stop below where the plan spans this many pixels (two tiles)
// on its longer side: the lowest level still shows where the site is.
inline constexpr int kMbtilesLowestSpan = 512;

// Writes the plan as MBTiles at `out_path`: reprojected to Web Mercator
// (EPSG:3857) and cut into 256-pixel PNG tiles with transparency outside
// the plan, from the zoom level at least as fine as the plan's own pixels
// down to the level where it is about two tiles across; the metadata names
// it `name` and gives its bounds and zoom range. OruxMaps, Locus, OsmAnd and
// QField open it offline. Rows stream from `plan` through GDAL's warper.
//
// All or nothing, as ExportGeoTiff.
std::string ExportMbtiles(image::BmpRows& plan, const PixelToDegrees& inverse,
                          const std::string& name, const std::string& out_path);

}  // namespace velkaro::gis
