#include "gis/pdf_export.h"

#include "gis/driver_copy.h"
#include "gis/gdal_session.h"
#include "gis/plan_dataset.h"
#include "gis/plan_georef.h"
#include "gis/sibling_output.h"

#include <algorithm>
#include <cpl_string.h>

namespace velkaro::gis {

double PdfDpiFor(int width, int height) {
  return std::max(kPdfDpi, std::max(width, height) / kPdfMaxPageInches);
}

std::string ExportGeoPdf(image::BmpRows& plan, const PixelToDegrees& inverse,
                         const std::string& name, const std::string& out_path) {
  StartGdal();
  GdalErrorTrap trap;
  SiblingOutput output(out_path);
  PlanDataset source(plan, CornerGeoTransform(inverse));

  CPLStringList options;
  options.SetNameValue("GEO_ENCODING", "ISO32000");
  options.SetNameValue("COMPRESS", "DEFLATE");
  options.SetNameValue("DPI", CPLSPrintf("%.17g", PdfDpiFor(plan.width(), plan.height())));
  options.SetNameValue("TITLE", name.c_str());
  options.SetNameValue("CREATOR", "Velkaro");
  return CopyThroughDriver("PDF", source, options, output, trap, out_path);
}

}  // namespace velkaro::gis
