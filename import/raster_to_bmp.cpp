#include "import/raster_to_bmp.h"

#include "gis/gdal_session.h"
#include "image/bmp_layout.h"
#include "image/bmp_rows.h"
#include "image/bmp_writer.h"
#include "import/pdf_pages.h"
#include "import/plan_import.h"
#include "platform/regular_file.h"

#include <algorithm>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace velkaro::plan_import {
namespace {

// Rows asked of GDAL at once: a strip is one request to the decoder (a PDF
// page is rendered a strip at a time), and a few megabytes of it are enough
// to keep the per-request cost small against the pixels.
constexpr size_t kStripBytes = 8u << 20;

struct DatasetCloser {
  void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

// How a dataset's bands make red, green and blue.
struct BandPlan {
  std::vector<int> bands;  // the bands read, one to three
  bool wide = false;       // read as 16 bits, the high byte kept
  const GDALColorTable* palette = nullptr;
};

BandPlan PlanBands(GDALDataset& dataset) {
  BandPlan plan;
  const int count = dataset.GetRasterCount();
  GDALRasterBand* first = dataset.GetRasterBand(1);
  plan.wide = first->GetRasterDataType() == GDT_UInt16;
  if (count >= 3) {
    plan.bands = {1, 2, 3};
  } else {
    // Grey, grey with alpha, or palette indices.
    plan.bands = {1};
    if (first->GetColorInterpretation() == GCI_PaletteIndex) plan.palette = first->GetColorTable();
  }
  if (plan.palette != nullptr) plan.wide = false;
  return plan;
}

DatasetPtr OpenSource(const std::string& source, const SourceChoice& choice) {
  CPLStringList options;
  std::string name = source;
  if (IsPdf(source)) {
    name = PdfPageName(source, choice.page);
    const double dpi = choice.dpi > 0 ? choice.dpi : PdfAutomaticDpi(name);
    if (dpi > 0) options.SetNameValue("DPI", CPLSPrintf("%.17g", dpi));
  }
  return DatasetPtr(GDALDataset::Open(name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr,
                                      options.List(), nullptr));
}

// Red, green and blue of `columns` pixels from the strip's `row`.
void ToRgb(const BandPlan& plan, const uint8_t* narrow, const uint16_t* wide, size_t columns,
           size_t row, uint8_t* rgb) {
  const size_t channels = plan.bands.size();
  const size_t at = row * columns * channels;
  for (size_t x = 0; x < columns; ++x) {
    for (size_t c = 0; c < 3; ++c) {
      const size_t from = at + x * channels + (channels == 3 ? c : 0);
      rgb[3 * x + c] = plan.wide ? uint8_t(wide[from] >> 8) : narrow[from];
    }
    if (plan.palette != nullptr) {
      const GDALColorEntry* entry = plan.palette->GetColorEntry(rgb[3 * x]);
      const uint8_t index = rgb[3 * x];
      rgb[3 * x] = entry ? uint8_t(entry->c1) : index;
      rgb[3 * x + 1] = entry ? uint8_t(entry->c2) : index;
      rgb[3 * x + 2] = entry ? uint8_t(entry->c3) : index;
    }
  }
}

// A bitmap source goes through the plan's own row reader, which takes more
// kinds of bitmap than GDAL's and gives the pixels the program shows.
Status CopyBitmap(const std::string& source, const std::string& out,
                  const ImportProgress& progress) {
  int error = 0;
  const int fd = OpenRegularFile(source, &error);
  if (fd < 0) return Status::FromErrno(error, source);
  image::BmpRows rows;
  Status status = rows.Open(fd, source);
  image::BmpRowWriter writer(out);
  if (status.ok()) status = writer.Open({.width = rows.width(), .height = rows.height()});
  std::vector<uint8_t> rgb(3 * size_t(rows.width()));
  for (int32_t row = 0; status.ok() && row < rows.height(); ++row) {
    status = rows.ReadRow(row, rgb.data());
    if (status.ok()) status = writer.WriteRow(row, rgb.data());
    if (progress && row % 256 == 0) progress(double(row) / rows.height());
  }
  if (status.ok()) status = writer.Commit();
  ::close(fd);
  return status;
}

}  // namespace

std::string NotAPictureText(const std::string& source) {
  return source + " is not a picture Velkaro can read (PNG, JPEG, TIFF, PDF or BMP).";
}

Status ConvertToBmp(const std::string& source, const std::string& out, const SourceChoice& choice,
                    const ImportProgress& progress) {
  if (IsBmpPlan(source)) return CopyBitmap(source, out, progress);
  gis::StartGdal();
  gis::GdalErrorTrap trap;
  DatasetPtr dataset = OpenSource(source, choice);
  if (!dataset || dataset->GetRasterCount() < 1)
    return Status::Unsupported(NotAPictureText(source), source);
  const int width = dataset->GetRasterXSize(), height = dataset->GetRasterYSize();
  if (width > image::kBmpMaxSide || height > image::kBmpMaxSide)
    return Status::Unsupported(source + " is " + std::to_string(width) + " x " +
                                   std::to_string(height) + " pixels, more than a plan can have",
                               source);
  const BandPlan plan = PlanBands(*dataset);

  image::BmpRowWriter writer(out);
  if (Status opened = writer.Open({.width = width, .height = height}); !opened.ok())
    return opened;

  const size_t channels = plan.bands.size();
  const size_t sample = plan.wide ? 2 : 1;
  const size_t row_bytes = size_t(width) * channels * sample;
  const int strip = int(std::clamp<size_t>(kStripBytes / row_bytes, 1, size_t(height)));
  std::vector<uint8_t> narrow(plan.wide ? 0 : row_bytes * size_t(strip));
  std::vector<uint16_t> wide(plan.wide ? size_t(width) * channels * size_t(strip) : 0);
  std::vector<uint8_t> rgb(3 * size_t(width));
  std::vector<int> bands = plan.bands;
  for (int top = 0; top < height; top += strip) {
    const int rows = std::min(strip, height - top);
    void* buffer = plan.wide ? static_cast<void*>(wide.data()) : narrow.data();
    const CPLErr read = dataset->RasterIO(
        GF_Read, 0, top, width, rows, buffer, width, rows, plan.wide ? GDT_UInt16 : GDT_Byte,
        int(channels), bands.data(), GSpacing(channels * sample), GSpacing(row_bytes),
        GSpacing(sample), nullptr);
    if (read != CE_None)
      return Status::Invalid(source + ": " + trap.Message("the picture does not decode"), source);
    for (int r = 0; r < rows; ++r) {
      ToRgb(plan, narrow.data(), wide.data(), size_t(width), size_t(r), rgb.data());
      if (Status put = writer.WriteRow(top + r, rgb.data()); !put.ok()) return put;
    }
    if (progress) progress(double(top + rows) / height);
  }
  return writer.Commit();
}

}  // namespace velkaro::plan_import
