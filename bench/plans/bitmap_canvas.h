#pragma once

// A 24-bit bottom-up .bmp file in memory, headers written, pixels to fill.

#include "platform/byte_order.h"

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
      : width_(width), height_(height), stride_((static_cast<size_t>(width) * 3 + 3) / 4 * 4) {
    file_.resize(kPixelsAt + stride_ * height);
    uint8_t* h = file_.data();
    h[0] = 'B';
    h[1] = 'M';
    StoreLe32(h + 2, static_cast<uint32_t>(file_.size()));
    StoreLe32(h + 10, static_cast<uint32_t>(kPixelsAt));
    StoreLe32(h + 14, 40);
    StoreLe32(h + 18, static_cast<uint32_t>(width));
    StoreLe32(h + 22, static_cast<uint32_t>(height));
    StoreLe16(h + 26, 1);
    StoreLe16(h + 28, 24);
    StoreLe32(h + 34, static_cast<uint32_t>(stride_ * height));
    StoreLe32(h + 38, 2835);
    StoreLe32(h + 42, 2835);
  }

  int width() const { return width_; }
  int height() const { return height_; }
  // Blue, green, red at (x, y). REQUIRES: 0 <= x < width, 0 <= y < height.
  uint8_t* At(int x, int y) { return file_.data() + kPixelsAt + stride_ * y + 3 * x; }
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
  static constexpr size_t kPixelsAt = 54;
  int width_, height_;
  size_t stride_;
  std::vector<uint8_t> file_;
};

}  // namespace velkaro::bench
