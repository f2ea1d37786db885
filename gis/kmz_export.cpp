#include "gis/kmz_export.h"

#include "gis/gdal_session.h"
#include "gis/kml_document.h"
#include "gis/plan_dataset.h"
#include "gis/plan_georef.h"
#include "gis/sibling_output.h"

#include <cpl_string.h>
#include <cpl_vsi.h>

namespace velkaro::gis {

std::string ExportKmz(BmpRows& plan, const PixelToDegrees& inverse, const std::string& name,
                      const std::string& out_path) {
  StartGdal();
  GdalErrorTrap trap;
  SiblingOutput output(out_path);
  auto failed = [&] {
    return "cannot write " + out_path + ": " + output.InTargetTerms(trap.Message("GDAL failed"));
  };

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

  PlanDataset source(plan, std::nullopt);
  CPLStringList options;
  if (jpeg) options.SetNameValue("QUALITY", "90");
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(jpeg ? "JPEG" : "PNG");
  if (driver == nullptr) return "cannot write " + out_path + ": GDAL has no image driver";
  GDALDataset* picture =
      driver->CreateCopy((zip + image).c_str(), &source, FALSE, options.List(), nullptr, nullptr);
  if (picture != nullptr) GDALClose(picture);  // closing the last file closes the zip
  if (!source.error().empty()) return source.error();
  if (picture == nullptr || trap.failed()) return failed();
  return output.Commit();
}

}  // namespace velkaro::gis
