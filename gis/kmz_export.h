#pragma once

#include "image/bmp_rows.h"
#include "site/geocode.h"

#include <cstdint>
#include <string>

namespace velkaro::gis {

// Plans above this many pixels go into the KMZ as JPEG (quality 90) rather
// than PNG: Google Earth decodes the whole image at once, and a lossless
// image of that size is slow to open and large to carry.
inline constexpr uint64_t kKmzJpegAbovePixels = 16'000'000;
inline constexpr int kKmzJpegQuality = 90;

// Writes the plan as a KMZ at `out_path`: a zip holding doc.kml (one
// GroundOverlay called `name`, laid with gx:LatLonQuad over the plan's outer
// corners) and the image it points to, files/plan.png or files/plan.jpg. The
// image streams from `plan` through GDAL into the zip.
//
// All or nothing: returns an empty string once the complete file is in place,
// else what went wrong, with the target untouched and nothing left behind.
std::string ExportKmz(image::BmpRows& plan, const PixelToDegrees& inverse, const std::string& name,
                      const std::string& out_path);

}  // namespace velkaro::gis
