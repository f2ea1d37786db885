#pragma once

#include "image/bmp_rows.h"

#include <array>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <optional>
#include <string>
#include <vector>

namespace velkaro::gis {

// A plan bitmap as a GDAL dataset of three 8-bit bands (red, green, blue)
// with one-row blocks, read from the bitmap on demand: GDAL's writers pull
// rows through it and its block cache, so the plan is never in memory whole.
// Each bitmap row is decoded once; the row's other two bands go straight
// into the cache beside the one asked for.
//
// With a geotransform the dataset is georeferenced in WGS 84 degrees
// (EPSG:4326), longitude first.
//
// Lifetime: `rows` must outlive the dataset. A read that fails is reported
// through GDAL's error handler and remembered in error().
class PlanDataset : public GDALDataset {
 public:
  PlanDataset(image::BmpRows& rows, std::optional<std::array<double, 6>> geotransform);
  ~PlanDataset() override;

  CPLErr GetGeoTransform(double* transform) override;
  const OGRSpatialReference* GetSpatialRef() const override;

  // The first failed read's text, empty while every read succeeded.
  const std::string& error() const { return error_; }

  // Row `row` as RGB triples, decoding it unless it is the last one decoded.
  // Null (and error() set) when the bitmap cannot be read.
  const uint8_t* Row(int row);

 private:
  image::BmpRows& rows_;
  std::optional<std::array<double, 6>> geotransform_;
  OGRSpatialReference wgs84_;
  std::vector<uint8_t> row_;
  int row_number_ = -1;
  std::string error_;
};

}  // namespace velkaro::gis
