#pragma once

// Test side: pictures of the kinds a plan may come as, made at test time
// (nothing big is kept in the repository), and the pixels of a bitmap as
// the plan's own reader gives them.

#include <cstdint>
#include <string>
#include <vector>

namespace velkaro::testing {

struct Pixels {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // rows top first
  std::string error;
};

// A bitmap read with the plan bitmap row reader.
Pixels ReadBmpPixels(const std::string& path);

enum class PictureKind {
  kRgb,      // three 8-bit bands
  kGrey,     // one 8-bit band, from the red channel
  kPalette,  // one band of indices with a colour table (at most 256 colours)
  kWide,     // three 16-bit bands, each value v * 257
};

// `pixels` written with GDAL's `driver` (PNG, GTiff, JPEG, ...) at `path`.
// Empty on success, else GDAL's complaint.
std::string WritePicture(const std::string& driver, const std::string& path, const Pixels& pixels,
                         PictureKind kind = PictureKind::kRgb,
                         const std::vector<std::string>& options = {});

// One page of a hand-made PDF: its size in points and the rectangles filled
// on it, each "x y w h r g b" in points from the lower-left corner, colour
// components 0..1.
struct PdfRect {
  double x, y, w, h, r, g, b;
};
struct PdfPage {
  double width, height;
  std::vector<PdfRect> rects;
};

// A PDF of `pages`, written with a correct cross-reference table.
void WritePdf(const std::string& path, const std::vector<PdfPage>& pages);

}  // namespace velkaro::testing
