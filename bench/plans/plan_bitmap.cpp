#include "bench/plans/plan_bitmap.h"

#include "bench/plans/bitmap_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

namespace velkaro::bench {
namespace {

int Rand(std::mt19937& rng, int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); }

// How much ink covers each pixel of a scanned drawing, 0 (paper) to 255.
class InkMap {
 public:
  InkMap(int width, int height)
      : width_(width), height_(height), ink_(static_cast<size_t>(width) * height) {}
  uint8_t At(int x, int y) const { return ink_[static_cast<size_t>(y) * width_ + x]; }
  void Add(int x, int y, int amount) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t& cell = ink_[static_cast<size_t>(y) * width_ + x];
    cell = static_cast<uint8_t>(std::min(255, cell + amount));
  }
  // A pen stroke from (x0, y0) to (x1, y1): a full-ink core `width` pixels
  // wide with a half-ink fringe on either side, the way a scanner blurs a
  // line.
  void Stroke(int x0, int y0, int x1, int y1, int width) {
    const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    const int steps = std::max(dx, dy);
    const bool steep = dy > dx;
    for (int i = 0; i <= steps; ++i) {
      const int x = steps ? x0 + (x1 - x0) * i / steps : x0;
      const int y = steps ? y0 + (y1 - y0) * i / steps : y0;
      for (int k = -1; k <= width; ++k) {
        const int amount = k < 0 || k == width ? 110 : 255;
        if (steep)
          Add(x + k, y, amount);
        else
          Add(x, y + k, amount);
      }
    }
  }

 private:
  int width_, height_;
  std::vector<uint8_t> ink_;
};

// Value noise: random lattice values every 2^shift pixels, blended
// bilinearly between them; 0 to 255.
class LatticeNoise {
 public:
  LatticeNoise(int width, int height, int shift, std::mt19937& rng)
      : shift_(shift), columns_((width >> shift) + 2) {
    values_.resize(static_cast<size_t>(columns_) * ((height >> shift) + 2));
    for (auto& v : values_) v = static_cast<uint8_t>(rng());
  }
  int At(int x, int y) const {
    const int cell = 1 << shift_;
    const int fx = x & (cell - 1), fy = y & (cell - 1);
    const uint8_t* v = &values_[static_cast<size_t>(y >> shift_) * columns_ + (x >> shift_)];
    const int top = v[0] * (cell - fx) + v[1] * fx;
    const int bottom = v[columns_] * (cell - fx) + v[columns_ + 1] * fx;
    return (top * (cell - fy) + bottom * fy) >> (2 * shift_);
  }

 private:
  int shift_, columns_;
  std::vector<uint8_t> values_;
};

}  // namespace

std::vector<uint8_t> MakePlanBitmap(int width, int height, uint32_t seed) {
  Canvas canvas(width, height);
  std::mt19937 rng(seed);
  auto fill = [&](int x0, int y0, int x1, int y1, Rgb c) { canvas.Fill(x0, y0, x1, y1, c); };

  fill(0, 0, width, height, {255, 255, 255});
  // Parcels and buildings in a few flat colours.
  const Rgb flats[] = {{230, 230, 210}, {200, 225, 200}, {210, 210, 230}, {190, 190, 190}};
  for (int k = 0; k < width * height / 40000; ++k) {
    const int x = Rand(rng, width), y = Rand(rng, height);
    // One draw per statement, since argument order is unspecified: this is
    // the order GCC took when the plan's earlier figures were measured.
    const Rgb colour = flats[rng() % 4];
    const int h = 40 + Rand(rng, 300);
    const int w = 40 + Rand(rng, 300);
    fill(x, y, x + w, y + h, colour);
  }
  // Roads, grid lines and boundaries.
  for (int x = 0; x < width; x += 250) fill(x, 0, x + 2, height, {120, 120, 255});
  for (int y = 0; y < height; y += 250) fill(0, y, width, y + 2, {120, 120, 255});
  for (int k = 0; k < 40; ++k) {
    const int y = Rand(rng, height);
    fill(0, y, width, y + 12, {160, 160, 160});
    const int x = Rand(rng, width);
    fill(x, 0, x + 12, height, {160, 160, 160});
  }
  // Labels: clusters of dark specks.
  for (int k = 0; k < width * height / 2000; ++k) {
    const int x = Rand(rng, width), y = Rand(rng, height);
    for (int s = 0; s < 30; ++s) {
      const int dx = Rand(rng, 40), dy = Rand(rng, 10);
      fill(x + dx, y + dy, x + dx + 2, y + dy + 2, {20, 20, static_cast<uint8_t>(rng() % 60)});
    }
  }
  // An aerial photograph pasted in: smooth gradients with grain.
  const int pw = width / 4, ph = height / 4, px = width / 2, py = height / 3;
  for (int y = 0; y < ph; ++y)
    for (int x = 0; x < pw; ++x) {
      const double u = static_cast<double>(x) / pw, v = static_cast<double>(y) / ph;
      const int grain = Rand(rng, 9) - 4;
      auto chan = [&](double base) {
        return static_cast<uint8_t>(std::clamp(static_cast<int>(base) + grain, 0, 255));
      };
      uint8_t* p = canvas.At(px + x, py + y);
      p[0] = chan(60 + 80 * u + 30 * std::sin(12 * v));
      p[1] = chan(90 + 70 * v + 20 * std::sin(9 * u));
      p[2] = chan(70 + 60 * u * v);
    }
  return canvas.Take();
}

std::vector<uint8_t> MakeScannedDrawingBitmap(int width, int height, uint32_t seed) {
  std::mt19937 rng(seed);
  InkMap ink(width, height);
  // Walls: long horizontal and vertical strokes, two or three pixels wide.
  for (int k = 0; k < (width + height) / 40; ++k) {
    const int x = Rand(rng, width), y = Rand(rng, height);
    const int length = 100 + Rand(rng, 1500);
    const int pen = 1 + Rand(rng, 3);
    if (k % 2)
      ink.Stroke(x, y, x + length, y, pen);
    else
      ink.Stroke(x, y, x, y + length, pen);
  }
  // Dimension lines and hatching: thin strokes at any angle.
  for (int k = 0; k < width * height / 8000; ++k) {
    const int x = Rand(rng, width), y = Rand(rng, height);
    ink.Stroke(x, y, x + Rand(rng, 400) - 200, y + Rand(rng, 400) - 200, 1);
  }
  // Lettering: short strokes in clusters along a line.
  for (int k = 0; k < width * height / 6000; ++k) {
    const int x = Rand(rng, width), y = Rand(rng, height);
    for (int s = 0; s < 12; ++s) {
      const int cx = x + 7 * s, cy = y + Rand(rng, 3);
      ink.Stroke(cx, cy, cx + Rand(rng, 6), cy + 4 + Rand(rng, 6), 1);
    }
  }

  // Paper a little off white, ink a dark blue-grey, and noise on every
  // byte: mostly within a few levels, now and then a larger speck.
  Canvas canvas(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int cover = ink.At(x, y);
      uint8_t* p = canvas.At(x, y);
      for (int c = 0; c < 3; ++c) {
        const uint32_t r = rng();
        const int paper = 250 - c;
        const int dark = 40 + 12 * c;
        int noise = static_cast<int>(r & 3) + static_cast<int>((r >> 2) & 3) - 3;
        if ((r >> 4 & 63) == 0) noise -= static_cast<int>(r >> 10 & 31);
        const int value = paper - (paper - dark) * cover / 255 + noise;
        p[c] = static_cast<uint8_t>(std::clamp(value, 0, 255));
      }
    }
  return canvas.Take();
}

std::vector<uint8_t> MakeAerialBitmap(int width, int height, uint32_t seed) {
  std::mt19937 rng(seed);
  // Brightness: fields and woods (coarse) with their texture (fine). Land
  // cover: a slow blend from green vegetation to bare brown soil, which
  // tints the brightness; grain on every byte.
  const LatticeNoise coarse(width, height, 7, rng);
  const LatticeNoise fine(width, height, 3, rng);
  const LatticeNoise cover(width, height, 8, rng);
  constexpr int kGreen[3] = {150, 256, 190};  // blue, green, red gains in 1/256
  constexpr int kSoil[3] = {170, 220, 280};
  Canvas canvas(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int light = coarse.At(x, y) + (fine.At(x, y) - 128) * 3 / 4;
      const int soil = cover.At(x, y);
      uint8_t* p = canvas.At(x, y);
      for (int c = 0; c < 3; ++c) {
        const int gain = (kGreen[c] * (255 - soil) + kSoil[c] * soil) / 255;
        const int grain = Rand(rng, 25) - 12;
        p[c] = static_cast<uint8_t>(std::clamp(light * gain / 256 + grain, 0, 255));
      }
    }
  return canvas.Take();
}

}  // namespace velkaro::bench
