#pragma once

#include "image/bmp_rows.h"
#include "site/geocode.h"

#include <string>

namespace velkaro::gis {

// The resolution a plan is laid on the PDF page at, unless the page would
// pass the 200 inches PDF readers allow: then as many dots an inch as keep
// it within. GDAL reads a PDF back at 150 dots an inch by default, so a
// plan of up to 30000 pixels a side comes back with its own pixel grid.
inline constexpr double kPdfDpi = 150.0;
inline constexpr double kPdfMaxPageInches = 200.0;

// The dots an inch a plan of `width` x `height` pixels is laid out at.
double PdfDpiFor(int width, int height);

// Writes the plan as a geospatial PDF at `out_path`: one page holding the
// plan at PdfDpiFor, DEFLATE compressed, georeferenced with the ISO 32000
// geo-encoding in WGS 84 (EPSG:4326) by `inverse`'s corners, which PDF map
// viewers and QField read. Rows stream from `plan` through GDAL.
//
// All or nothing, as ExportGeoTiff.
std::string ExportGeoPdf(image::BmpRows& plan, const PixelToDegrees& inverse,
                         const std::string& name, const std::string& out_path);

}  // namespace velkaro::gis
