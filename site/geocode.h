#pragma once

#include <cstdint>

namespace velkaro {

// The six coefficients of a solved geocode, which take a position to a plan
// pixel: x = xLat * lat + xLon * lon + x0, y = yLat * lat + yLon * lon + y0.
// A plan pixel's integer coordinates name the pixel's centre.
struct Geocode {
  double xLat = 0.0, xLon = 0.0, x0 = 0.0;
  double yLat = 0.0, yLon = 0.0, y0 = 0.0;
};

// The geocode held in a projection file header's matrix.
// REQUIRES: `header` points at the whole header (kProjectionHeaderSize bytes).
Geocode GeocodeFromHeader(const uint8_t* header);

// The inverse map, from a plan pixel (column, row; integers at pixel centres)
// to a position, with the coefficients in a world file's names:
//   lon = a * col + b * row + c,   lat = d * col + e * row + f,
// so (c, f) is the position of the centre of the top-left pixel.
struct PixelToDegrees {
  double a = 0.0, d = 0.0, b = 0.0, e = 0.0, c = 0.0, f = 0.0;

  double Lon(double col, double row) const { return a * col + b * row + c; }
  double Lat(double col, double row) const { return d * col + e * row + f; }
};

// Inverts `geocode`. Returns false, leaving `inverse` unspecified, when the
// geocode is singular or any coefficient of the inverse is not finite.
bool InvertGeocode(const Geocode& geocode, PixelToDegrees& inverse);

}  // namespace velkaro
