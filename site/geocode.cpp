#include "site/geocode.h"

#include "site/projection_file_format.h"

#include <cmath>
#include <initializer_list>

namespace velkaro {

Geocode GeocodeFromHeader(const uint8_t* header) {
  auto element = [header](int k) { return LoadLeDouble(header + MatrixElementOffset(k)); };
  return Geocode{element(kMatrixXLat), element(kMatrixXLon), element(kMatrixX0),
                 element(kMatrixYLat), element(kMatrixYLon), element(kMatrixY0)};
}

bool InvertGeocode(const Geocode& g, PixelToDegrees& inverse) {
  // Cramer's rule on the 2x2 linear part; a zero determinant gives
  // infinities or NaNs, which the finiteness check below refuses.
  const double det = g.xLat * g.yLon - g.xLon * g.yLat;
  inverse.a = -g.yLat / det;
  inverse.d = g.yLon / det;
  inverse.b = g.xLat / det;
  inverse.e = -g.xLon / det;
  inverse.c = (g.yLat * g.x0 - g.xLat * g.y0) / det;
  inverse.f = (g.xLon * g.y0 - g.yLon * g.x0) / det;
  for (double value : {inverse.a, inverse.d, inverse.b, inverse.e, inverse.c, inverse.f}) {
    if (!std::isfinite(value)) return false;
  }
  return true;
}

}  // namespace velkaro
