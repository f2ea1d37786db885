#pragma once

// Shared by the export tests: plan bitmaps to export, a folder's contents,
// geocodes to lay a plan with, and the check that a position a GIS file
// gives for a point of the plan is where the geocode itself puts that point.

#include "image/bmp_writer.h"
#include "site/geocode.h"
#include "tests/image/plan_file.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::testing {

// The names in `folder`, sorted.
inline std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// About 1.4 m a pixel near 45.5 N 7.25 E, north up.
inline Geocode NorthUpGeocode() {
  return Geocode{-1e5 / 1.1, 0.0, 45.5 * 1e5 / 1.1, 0.0, 1e5 / 1.5, -7.25 * 1e5 / 1.5};
}

// The same site turned about 20 degrees and sheared: every coefficient
// counts, and an error that swaps or drops one shows.
inline Geocode RotatedShearedGeocode() {
  const double a = -85000.0, b = 31000.0, c = 24000.0, d = 71000.0;
  return Geocode{a, b, -(a * 45.5 + b * 7.25) + 40.0, c, d, -(c * 45.5 + d * 7.25) + 30.0};
}

inline PixelToDegrees Inverse(const Geocode& geocode) {
  PixelToDegrees inverse;
  EXPECT_TRUE(InvertGeocode(geocode, inverse));
  return inverse;
}

// Passes when the geocode takes (lon, lat) to plan pixel (x, y) (centre
// coordinates) within `pixels` (a millionth of a pixel unless said).
inline ::testing::AssertionResult MapsTo(const Geocode& g, double lon, double lat, double x,
                                         double y, double pixels = 1e-6) {
  const double got_x = g.xLat * lat + g.xLon * lon + g.x0;
  const double got_y = g.yLat * lat + g.yLon * lon + g.y0;
  if (std::abs(got_x - x) <= pixels && std::abs(got_y - y) <= pixels)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "lon " << lon << " lat " << lat << " is plan pixel (" << got_x << ", " << got_y
         << "), not (" << x << ", " << y << ")";
}

// Taps at plan pixels `points`, each with the position `inverse` gives it,
// as "x,y,lat,lon" lines for vlk save and vlk solve.
inline void WriteTaps(const std::string& path, const PixelToDegrees& inverse,
                      const std::vector<std::pair<int, int>>& points) {
  std::string text;
  for (auto [x, y] : points) {
    char line[100];
    std::snprintf(line, sizeof line, "%d,%d,%.17g,%.17g\n", x, y, inverse.Lat(x, y),
                  inverse.Lon(x, y));
    text += line;
  }
  testing::WriteText(path, text);
}

// The headers of a bottom-up 24-bit plan with a 40-byte header.
inline std::vector<uint8_t> Bmp24Headers(int width, int height) {
  return image::BmpHeader(image::BmpFormat{.width = width, .height = height});
}

// A run-length coded 8-bit plan of flat bands, small on disk however many
// pixels it has: stored row r, column x has index r / 500 * 16 + x / 1000,
// and the palette runs from red (index 0) to blue.
inline void WriteBandedPlan(const std::string& path, int width, int height) {
  std::vector<uint8_t> codes;
  for (int row = 0; row < height; ++row) {
    for (int x = 0; x < width; x += 250)
      codes.insert(codes.end(),
                   {uint8_t(std::min(250, width - x)), uint8_t(row / 500 * 16 + x / 1000)});
    codes.insert(codes.end(), {0, 0});
  }
  image::BmpFormat format{.width = width,
                          .height = height,
                          .bits_per_pixel = 8,
                          .coding = image::BmpCoding::kRle8,
                          .coded_bytes = codes.size()};
  for (int i = 0; i < 256; ++i) format.palette.push_back({uint8_t(255 - i), 0, uint8_t(i)});
  std::vector<uint8_t> bmp = image::BmpHeader(format);
  ASSERT_FALSE(bmp.empty());
  bmp.insert(bmp.end(), codes.begin(), codes.end());
  testing::WriteAll(path, bmp);
}

}  // namespace velkaro::testing
