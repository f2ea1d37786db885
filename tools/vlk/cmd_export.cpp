// vlk export FILE OUT: the plan of a projection file as one file that GIS
// tools open in place, the format chosen by OUT's extension: .tif (or .tiff)
// a GeoTIFF, .kmz a KMZ ground overlay.
#include "gis/geotiff_export.h"
#include "gis/kmz_export.h"
#include "gis/projection_plan.h"
#include "image/bmp_rows.h"
#include "site/geocode.h"
#include "tools/vlk/commands.h"
#include "tools/vlk/projection_summary.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

namespace velkaro::vlk {
namespace {

enum class ExportFormat { kNone, kGeoTiff, kKmz };

ExportFormat FormatOf(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
  if (extension == ".tif" || extension == ".tiff") return ExportFormat::kGeoTiff;
  if (extension == ".kmz") return ExportFormat::kKmz;
  return ExportFormat::kNone;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "vlk: %s\n", message.c_str());
  return 1;
}

}  // namespace

int CmdExport(int argc, char** argv) {
  const ExportFormat format = argc == 2 ? FormatOf(argv[1]) : ExportFormat::kNone;
  if (format == ExportFormat::kNone) {
    std::fprintf(stderr, "usage: vlk export FILE OUT.tif|OUT.kmz\n");
    return 2;
  }
  const std::string path = argv[0], out = argv[1];
  ProjectionSummary summary;
  if (!ReadSummary(path, summary)) return 1;
  PixelToDegrees inverse;
  if (!InvertGeocode(GeocodeFromHeader(summary.header), inverse))
    return Fail(path + " holds no invertible geocode");

  gis::ExpandedPlan plan;
  if (std::string error = plan.Expand(path); !error.empty()) return Fail(error);
  image::BmpRows rows;
  if (Status opened = rows.Open(plan.fd()); !opened.ok())
    return Fail(path + ": " + opened.message());

  const std::string error =
      format == ExportFormat::kGeoTiff
          ? gis::ExportGeoTiff(rows, inverse, out)
          : gis::ExportKmz(rows, inverse, std::filesystem::path(path).stem().string(), out);
  return error.empty() ? 0 : Fail(error);
}

}  // namespace velkaro::vlk
