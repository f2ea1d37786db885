#pragma once

// Where a plan lies on the ground, in the two ways GIS formats want it.
//
// A plan pixel's integer coordinates (as taps and the geocode use them) name
// the pixel's centre, so the centre of the top-left pixel is (0, 0) and the
// plan's outer edge runs along -0.5 and width - 0.5 (height - 0.5). GDAL's
// geotransform counts from the outer top-left corner of that pixel instead:
// the same map, moved half a pixel along both axes.

#include "site/geocode.h"

#include <array>
#include <cstdint>

namespace velkaro::gis {

// GDAL's geotransform for the plan: longitude = t[0] + col * t[1] + row * t[2],
// latitude = t[3] + col * t[4] + row * t[5], where (col, row) counts pixel
// edges from the plan's outer top-left corner.
std::array<double, 6> CornerGeoTransform(const PixelToDegrees& inverse);

struct LonLat {
  double lon;
  double lat;
};

// The plan's four outer corners on the ground, lower-left first and then
// counter-clockwise around the image (lower-right, upper-right, upper-left),
// as KML's gx:LatLonQuad lists them.
std::array<LonLat, 4> OuterCorners(const PixelToDegrees& inverse, int32_t width, int32_t height);

}  // namespace velkaro::gis
