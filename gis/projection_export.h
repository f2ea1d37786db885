#pragma once

// The export of a saved plan for GIS tools and field apps, in one call: what
// `vlk export` runs, and what a File > Export command of the application is
// to run. Such a command needs only the path of the projection file (the
// one last opened or saved) and the path the user picks; the extension
// chooses the format (ExportFormatOf, whose names make the file dialog's
// filter), and the call blocks for as long as a large plan takes (seconds
// for 100 megapixels), so the window runs it on a worker thread and shows
// the returned text, if any.

#include <string>

namespace velkaro::gis {

enum class ExportFormat {
  kNone,
  kGeoTiff,  // .tif, .tiff: a cloud-optimised GeoTIFF (geotiff_export.h)
  kKmz,      // .kmz: a Google Earth ground overlay (kmz_export.h)
  kGeoPdf,   // .pdf: a geospatial PDF (pdf_export.h)
  kMbtiles,  // .mbtiles: Web Mercator tiles (mbtiles_export.h)
};

// The format for an output named `out_path`, by its extension in any case.
ExportFormat ExportFormatOf(const std::string& out_path);

// Writes the plan of the projection file at `projection_path` to `out_path`
// in the format of its extension, all or nothing: the output is written
// under a hidden temporary name beside the target (clearing what killed
// exports of the same target left) and renamed over it once complete.
// Returns an empty string on success, else the sentence to show: the file
// is not a projection file, holds no invertible geocode or a plan that
// cannot be read, the output cannot be written, or its extension names no
// format. The plan streams from the file; memory stays bounded.
//
// Thread safety: any one thread at a time per output; GDAL's error handler
// is trapped per thread.
std::string ExportProjection(const std::string& projection_path, const std::string& out_path);

}  // namespace velkaro::gis
