#pragma once

#include "image/bmp_rows.h"
#include "site/geocode.h"

#include <string>

namespace velkaro::gis {

// Writes the plan as a cloud-optimised GeoTIFF at `out_path` (GDAL's COG
// layout): three 8-bit RGB bands in WGS 84 degrees (EPSG:4326, longitude
// first) with `inverse` as its geotransform (moved to GDAL's pixel-corner
// convention), in 256 x 256 tiles, DEFLATE with the horizontal predictor
// compressed on every core, internal overviews when a side exceeds 2048
// pixels, BigTIFF when the file might pass 4 GiB. Rows stream from `plan`
// through GDAL's bounded block cache.
//
// All or nothing: returns an empty string once the complete file is in place,
// else what went wrong, with the target untouched and nothing left behind.
std::string ExportGeoTiff(image::BmpRows& plan, const PixelToDegrees& inverse,
                          const std::string& out_path);

}  // namespace velkaro::gis
