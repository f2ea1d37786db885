#include "gis/projection_export.h"

#include "gis/geotiff_export.h"
#include "gis/kmz_export.h"
#include "gis/mbtiles_export.h"
#include "gis/pdf_export.h"
#include "gis/projection_plan.h"
#include "image/bmp_rows.h"
#include "platform/file_error.h"
#include "platform/posix_file.h"
#include "site/geocode.h"
#include "site/projection_file_format.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>

namespace velkaro::gis {

ExportFormat ExportFormatOf(const std::string& out_path) {
  std::string extension = std::filesystem::path(out_path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
  if (extension == ".tif" || extension == ".tiff") return ExportFormat::kGeoTiff;
  if (extension == ".kmz") return ExportFormat::kKmz;
  if (extension == ".pdf") return ExportFormat::kGeoPdf;
  if (extension == ".mbtiles") return ExportFormat::kMbtiles;
  return ExportFormat::kNone;
}

std::string ExportProjection(const std::string& projection_path, const std::string& out_path) {
  const ExportFormat format = ExportFormatOf(out_path);
  if (format == ExportFormat::kNone)
    return out_path + ": the plan is exported to .tif, .tiff, .kmz, .pdf or .mbtiles";

  PosixFile file;
  uint8_t header[kProjectionHeaderSize];
  if (FileErrorCause cause = file.OpenForReading(projection_path); cause != FileErrorCause::kNone)
    return FileErrorText(cause, projection_path);
  if (file.ReadExactly(header, sizeof header) != FileErrorCause::kNone ||
      std::memcmp(header + kProjectionMagicOffset, kProjectionMagic, 4) != 0)
    return projection_path + " is not a projection file";
  PixelToDegrees inverse;
  if (!InvertGeocode(GeocodeFromHeader(header), inverse))
    return projection_path + " holds no invertible geocode";

  ExpandedPlan plan;
  if (std::string error = plan.Expand(projection_path); !error.empty()) return error;
  image::BmpRows rows;
  if (Status opened = rows.Open(plan.fd()); !opened.ok())
    return projection_path + ": " + opened.message();

  const std::string name = std::filesystem::path(projection_path).stem().string();
  switch (format) {
    case ExportFormat::kGeoTiff:
      return ExportGeoTiff(rows, inverse, out_path);
    case ExportFormat::kKmz:
      return ExportKmz(rows, inverse, name, out_path);
    case ExportFormat::kGeoPdf:
      return ExportGeoPdf(rows, inverse, name, out_path);
    case ExportFormat::kMbtiles:
      return ExportMbtiles(rows, inverse, name, out_path);
    case ExportFormat::kNone:
      break;
  }
  return {};
}

}  // namespace velkaro::gis
