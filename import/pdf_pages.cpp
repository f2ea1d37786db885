#include "import/pdf_pages.h"

#include "gis/gdal_session.h"

#include <algorithm>
#include <cmath>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <memory>

namespace velkaro::plan_import {
namespace {

// GDAL renders a page at 72 dots an inch to one pixel a PDF point.
constexpr double kPointsPerInch = 72.0;

struct DatasetCloser {
  void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};

std::unique_ptr<GDALDataset, DatasetCloser> OpenPdf(const std::string& name, const char* dpi) {
  gis::StartGdal();
  const char* const drivers[] = {"PDF", nullptr};
  CPLStringList options;
  if (dpi != nullptr) options.SetNameValue("DPI", dpi);
  return std::unique_ptr<GDALDataset, DatasetCloser>(GDALDataset::Open(
      name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, drivers, options.List(), nullptr));
}

}  // namespace

bool IsPdf(const std::string& path) {
  gis::StartGdal();
  const char* const drivers[] = {"PDF", nullptr};
  return GDALIdentifyDriverEx(path.c_str(), GDAL_OF_RASTER, drivers, nullptr) != nullptr;
}

int PdfPageCount(const std::string& path) {
  gis::GdalErrorTrap quiet;
  auto pdf = OpenPdf(path, "72");
  if (!pdf) return 0;
  // A document of several pages lists each as a subdataset; one of a single
  // page lists none.
  const CPLStringList subdatasets(CSLDuplicate(pdf->GetMetadata("SUBDATASETS")));
  int pages = 0;
  for (int i = 0; i < subdatasets.size(); ++i) {
    const std::string entry = subdatasets[i];
    if (entry.find("_NAME=") != std::string::npos) ++pages;
  }
  return std::max(pages, 1);
}

std::string PdfPageName(const std::string& path, int page) {
  return page <= 1 ? path : "PDF:" + std::to_string(page) + ":" + path;
}

double PdfAutomaticDpi(const std::string& page_name) {
  gis::GdalErrorTrap quiet;
  auto pdf = OpenPdf(page_name, "72");
  if (!pdf) return 0.0;
  const double long_points = std::max(pdf->GetRasterXSize(), pdf->GetRasterYSize());
  if (long_points <= 0) return 0.0;
  return std::ceil(kPdfMinLongSide * kPointsPerInch / long_points);
}

}  // namespace velkaro::plan_import
