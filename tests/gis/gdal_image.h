#pragma once

// Test side: any image GDAL reads (PNG, JPEG, GeoTIFF) as plain 8-bit RGB,
// the way a viewer shows it, for comparing pixels with an independent reader;
// and an entry of a zip archive read with GDAL's zip reader.

#include <cstdint>
#include <string>
#include <vector>

namespace velkaro::testing {

struct RgbImage {
  bool ok = false;
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;    // rows top first, 3 bytes a pixel
  std::vector<uint8_t> alpha;  // one byte a pixel; 255 throughout without an alpha band
  std::string error;

  const uint8_t* At(int x, int y) const { return rgb.data() + 3 * (size_t(y) * width + x); }
};

// Palettes are expanded, grey is spread to all three channels, sub-byte grey
// (a 1-bit PNG) and 16-bit channels are scaled to 0..255; alpha is kept apart.
RgbImage ReadWithGdal(const std::string& path);

// The whole of `entry` in the zip archive `zip`; empty when it does not read.
std::string ZipText(const std::string& zip, const std::string& entry);

}  // namespace velkaro::testing
