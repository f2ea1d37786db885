#include "gis/plan_georef.h"

namespace velkaro::gis {

std::array<double, 6> CornerGeoTransform(const PixelToDegrees& inverse) {
  // Edge coordinates are centre coordinates plus one half.
  return {inverse.Lon(-0.5, -0.5), inverse.a, inverse.b,
          inverse.Lat(-0.5, -0.5), inverse.d, inverse.e};
}

std::array<LonLat, 4> OuterCorners(const PixelToDegrees& inverse, int32_t width, int32_t height) {
  const double left = -0.5, top = -0.5;
  const double right = width - 0.5, bottom = height - 0.5;
  auto at = [&inverse](double col, double row) {
    return LonLat{inverse.Lon(col, row), inverse.Lat(col, row)};
  };
  return {at(left, bottom), at(right, bottom), at(right, top), at(left, top)};
}

}  // namespace velkaro::gis
