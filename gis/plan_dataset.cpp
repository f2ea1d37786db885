#include "gis/plan_dataset.h"

#include <cstring>

namespace velkaro::gis {
namespace {

class PlanBand : public GDALRasterBand {
 public:
  PlanBand(PlanDataset* dataset, int band) {
    poDS = dataset;
    nBand = band;
    nRasterXSize = dataset->GetRasterXSize();
    nRasterYSize = dataset->GetRasterYSize();
    eDataType = GDT_Byte;
    nBlockXSize = nRasterXSize;
    nBlockYSize = 1;
  }

  GDALColorInterp GetColorInterpretation() override {
    return static_cast<GDALColorInterp>(GCI_RedBand + nBand - 1);
  }

 protected:
  CPLErr IReadBlock(int, int row, void* image) override {
    auto* dataset = static_cast<PlanDataset*>(poDS);
    const uint8_t* rgb = dataset->Row(row);
    if (rgb == nullptr) return CE_Failure;
    for (int band = 1; band <= 3; ++band) {
      // The other bands of this row go into the cache now rather than
      // costing a second decode of the row when GDAL asks for them.
      GDALRasterBlock* block = nullptr;
      uint8_t* out = static_cast<uint8_t*>(image);
      if (band != nBand) {
        GDALRasterBand* other = dataset->GetRasterBand(band);
        if (GDALRasterBlock* cached = other->TryGetLockedBlockRef(0, row)) {
          cached->DropLock();
          continue;
        }
        block = other->GetLockedBlockRef(0, row, TRUE);
        if (block == nullptr) continue;
        out = static_cast<uint8_t*>(block->GetDataRef());
      }
      for (int x = 0; x < nRasterXSize; ++x) out[x] = rgb[3 * x + band - 1];
      if (block != nullptr) block->DropLock();
    }
    return CE_None;
  }
};

}  // namespace

PlanDataset::PlanDataset(image::BmpRows& rows, std::optional<std::array<double, 6>> geotransform)
    : rows_(rows), geotransform_(geotransform) {
  nRasterXSize = rows.width();
  nRasterYSize = rows.height();
  eAccess = GA_ReadOnly;
  row_.resize(3 * static_cast<size_t>(nRasterXSize));
  for (int band = 1; band <= 3; ++band) SetBand(band, new PlanBand(this, band));
  wgs84_.importFromEPSG(4326);
  // Longitude first, as GDAL's geotransforms and GIS tools expect.
  wgs84_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
}

PlanDataset::~PlanDataset() = default;

CPLErr PlanDataset::GetGeoTransform(double* transform) {
  if (!geotransform_) return CE_Failure;
  std::memcpy(transform, geotransform_->data(), sizeof(double) * 6);
  return CE_None;
}

const OGRSpatialReference* PlanDataset::GetSpatialRef() const {
  return geotransform_ ? &wgs84_ : nullptr;
}

const uint8_t* PlanDataset::Row(int row) {
  if (row != row_number_) {
    row_number_ = -1;
    if (Status read = rows_.ReadRow(row, row_.data()); !read.ok()) {
      if (error_.empty()) error_ = read.message();
      CPLError(CE_Failure, CPLE_FileIO, "%s", read.message().c_str());
      return nullptr;
    }
    row_number_ = row;
  }
  return row_.data();
}

}  // namespace velkaro::gis
