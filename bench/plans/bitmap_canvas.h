#pragma once

// A 24-bit bottom-up .bmp file in memory, headers written, pixels to fill.

#include "image/bmp_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velkaro::bench {

struct Rgb {
  uint8_t r, g, b;
};

class Canvas {
 public:
  // REQUIRES: width and height > 0.
  Canvas(int width, int height)
      : width_(width),
        height_(height),
        stride_(image::BmpStride(width, 24)),
        file_(image::BmpHeader(image::BmpFormat{.width = width, .height = height})),
        pixels_at_(file_.size()) {
    file_.resize(pixels_at_ + stride_ * height);
  }

  // Blue, green, red at (x, y). REQUIRES: 0 <= x < width, 0 <= y < height.
  uint8_t* At(int x, int y) { return file_.data() + pixels_at_ + stride_ * y + 3 * x; }
  void Set(int x, int y, Rgb c) {
    uint8_t* p = At(x, y);
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
  }
  // The rectangle [x0, x1) x [y0, y1), clipped to the canvas.
  void Fill(int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = std::max(0, y0); y < std::min(height_, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(width_, x1); ++x) Set(x, y, c);
  }
  std::vector<uint8_t> Take() { return std::move(file_); }

 private:
  int width_, height_;
  size_t stride_;
  std::vector<uint8_t> file_;
  size_t pixels_at_;
};

}  // namespace velkaro::bench
