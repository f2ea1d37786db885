#pragma once

// Shared by the plan bitmap and export tests: a plan bitmap opened for
// reading, a folder's contents, geocodes to lay a plan with, and the check
// that a position a GIS file gives for a point of the plan is where the
// geocode itself puts that point.

#include "gis/bmp_rows.h"
#include "site/geocode.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::testing {

inline const std::string kBmpSuite = std::string(VELKARO_SOURCE_DIR) + "/tests/data/bmpsuite/";

// A plan file open for reading and its row reader; `error` is the reader's
// refusal, if any.
class PlanFile {
 public:
  explicit PlanFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    error_ = fd_ < 0 ? "cannot open " + path : rows_.Open(fd_);
  }
  ~PlanFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  PlanFile(const PlanFile&) = delete;
  PlanFile& operator=(const PlanFile&) = delete;

  gis::BmpRows& rows() { return rows_; }
  const std::string& error() const { return error_; }

 private:
  int fd_;
  gis::BmpRows rows_;
  std::string error_;
};

// A file of the BMP suite.
class SuitePlan : public PlanFile {
 public:
  explicit SuitePlan(const std::string& name) : PlanFile(kBmpSuite + name) {}
};

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

// The file and info headers of a bottom-up BMP with a 40-byte header; 8-bit
// plans get a 256-entry palette running from red (index 0) to blue.
inline std::vector<uint8_t> BmpHeaders(int width, int height, int bits, uint32_t compression) {
  const uint32_t palette = bits == 8 ? 1024 : 0;
  std::vector<uint8_t> bmp(54 + palette);
  auto le32 = [&bmp](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  bmp[0] = 'B', bmp[1] = 'M';
  le32(10, 54 + palette), le32(14, 40), le32(18, width), le32(22, height), le32(30, compression);
  bmp[26] = 1, bmp[28] = static_cast<uint8_t>(bits);
  for (uint32_t i = 0; i < palette / 4; ++i) {
    bmp[54 + 4 * i] = static_cast<uint8_t>(i);            // blue
    bmp[54 + 4 * i + 2] = static_cast<uint8_t>(255 - i);  // red
  }
  return bmp;
}

// A run-length coded 8-bit plan of flat bands, small on disk however many
// pixels it has: stored row r, column x has index r / 500 * 16 + x / 1000.
inline void WriteBandedPlan(const std::string& path, int width, int height) {
  std::vector<uint8_t> bmp = BmpHeaders(width, height, 8, 1);
  for (int row = 0; row < height; ++row) {
    for (int x = 0; x < width; x += 250)
      bmp.insert(bmp.end(),
                 {uint8_t(std::min(250, width - x)), uint8_t(row / 500 * 16 + x / 1000)});
    bmp.insert(bmp.end(), {0, 0});
  }
  testing::WriteAll(path, bmp);
}

}  // namespace velkaro::testing
