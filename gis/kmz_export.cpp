#include "gis/kmz_export.h"

#include "gis/driver_copy.h"
#include "gis/gdal_session.h"
#include "gis/jpeg_rows.h"
#include "gis/kml_document.h"
#include "gis/plan_dataset.h"
#include "gis/plan_georef.h"
#include "gis/sibling_output.h"
#include "gis/zip_times.h"

#include <cerrno>
#include <cpl_vsi.h>
#include <ctime>

namespace velkaro::gis {

std::string ExportKmz(image::BmpRows& plan, const PixelToDegrees& inverse, const std::string& name,
                      const std::string& out_path) {
  StartGdal();
  GdalErrorTrap trap;
  SiblingOutput output(out_path);
  auto failed = [&] { return WriteFailure(trap, output, out_path); };

  const bool jpeg = uint64_t(plan.width()) * uint64_t(plan.height()) > kKmzJpegAbovePixels;
  const std::string image = jpeg ? "files/plan.jpg" : "files/plan.png";
  // Braces let GDAL take the hidden temporary name, which does not end in
  // .kmz or .zip, as the archive.
  const std::string zip = "/vsizip/{" + output.temp() + "}/";

  // doc.kml first: Google Earth opens the first KML file in the archive.
  const std::string kml =
      GroundOverlayKml(name, image, OuterCorners(inverse, plan.width(), plan.height()));
  VSILFILE* doc = VSIFOpenL((zip + "doc.kml").c_str(), "wb");
  if (doc == nullptr) return failed();
  const bool written = VSIFWriteL(kml.data(), 1, kml.size(), doc) == kml.size();
  if (VSIFCloseL(doc) != 0 || !written) return failed();

  if (jpeg) {
    VSILFILE* picture = VSIFOpenL((zip + image).c_str(), "wb");
    if (picture == nullptr) return failed();
    const Status written_jpeg = WriteJpegRows(plan, kKmzJpegQuality, picture, out_path);
    const bool closed = VSIFCloseL(picture) == 0;  // closing the last file closes the zip
    if (!written_jpeg.ok()) return written_jpeg.message();
    if (!closed) return failed();
  } else {
    PlanDataset source(plan, std::nullopt);
    GDALDriver* png = GetGDALDriverManager()->GetDriverByName("PNG");
    if (png == nullptr) return "cannot write " + out_path + ": GDAL has no PNG driver";
    GDALDataset* picture =
        png->CreateCopy((zip + image).c_str(), &source, FALSE, nullptr, nullptr, nullptr);
    if (picture != nullptr) GDALClose(picture);  // closing the last file closes the zip
    if (!source.error().empty()) return source.error();
    if (picture == nullptr) return failed();
  }
  if (trap.failed()) return failed();
  // The entries carry the time of the export, as a zip made by hand would.
  if (!StampZipEntries(output.temp(), std::time(nullptr)))
    return FileErrorText(FileErrorCauseFromErrno(errno), out_path);
  return output.Commit();
}

}  // namespace velkaro::gis
