#include "bench/compression/plan_bitmap.h"

#include "platform/byte_order.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace velkaro::bench {
namespace {

struct Rgb {
  uint8_t r, g, b;
};

}  // namespace

std::vector<uint8_t> MakePlanBitmap(int width, int height, uint32_t seed) {
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
  const size_t pixels_at = 54;
  std::vector<uint8_t> file(pixels_at + stride * height);
  file[0] = 'B';
  file[1] = 'M';
  StoreLe32(file.data() + 2, static_cast<uint32_t>(file.size()));
  StoreLe32(file.data() + 10, static_cast<uint32_t>(pixels_at));
  StoreLe32(file.data() + 14, 40);
  StoreLe32(file.data() + 18, static_cast<uint32_t>(width));
  StoreLe32(file.data() + 22, static_cast<uint32_t>(height));
  StoreLe16(file.data() + 26, 1);
  StoreLe16(file.data() + 28, 24);
  StoreLe32(file.data() + 34, static_cast<uint32_t>(stride * height));
  StoreLe32(file.data() + 38, 2835);
  StoreLe32(file.data() + 42, 2835);

  std::mt19937 rng(seed);
  auto at = [&](int x, int y) { return file.data() + pixels_at + stride * y + 3 * x; };
  auto fill = [&](int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(width, x1); ++x) {
        uint8_t* p = at(x, y);
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
      }
  };

  fill(0, 0, width, height, {255, 255, 255});
  // Parcels and buildings in a few flat colours.
  const Rgb flats[] = {{230, 230, 210}, {200, 225, 200}, {210, 210, 230}, {190, 190, 190}};
  for (int k = 0; k < width * height / 40000; ++k) {
    const int x = static_cast<int>(rng() % width), y = static_cast<int>(rng() % height);
    fill(x, y, x + 40 + static_cast<int>(rng() % 300), y + 40 + static_cast<int>(rng() % 300),
         flats[rng() % 4]);
  }
  // Roads, grid lines and boundaries.
  for (int x = 0; x < width; x += 250) fill(x, 0, x + 2, height, {120, 120, 255});
  for (int y = 0; y < height; y += 250) fill(0, y, width, y + 2, {120, 120, 255});
  for (int k = 0; k < 40; ++k) {
    const int y = static_cast<int>(rng() % height);
    fill(0, y, width, y + 12, {160, 160, 160});
    const int x = static_cast<int>(rng() % width);
    fill(x, 0, x + 12, height, {160, 160, 160});
  }
  // Labels: clusters of dark specks.
  for (int k = 0; k < width * height / 2000; ++k) {
    const int x = static_cast<int>(rng() % width), y = static_cast<int>(rng() % height);
    for (int s = 0; s < 30; ++s) {
      const int dx = static_cast<int>(rng() % 40), dy = static_cast<int>(rng() % 10);
      fill(x + dx, y + dy, x + dx + 2, y + dy + 2, {20, 20, static_cast<uint8_t>(rng() % 60)});
    }
  }
  // An aerial photograph pasted in: smooth gradients with grain.
  const int pw = width / 4, ph = height / 4, px = width / 2, py = height / 3;
  for (int y = 0; y < ph; ++y)
    for (int x = 0; x < pw; ++x) {
      const double u = static_cast<double>(x) / pw, v = static_cast<double>(y) / ph;
      const int grain = static_cast<int>(rng() % 9) - 4;
      auto chan = [&](double base) {
        return static_cast<uint8_t>(std::clamp(static_cast<int>(base) + grain, 0, 255));
      };
      uint8_t* p = at(px + x, py + y);
      p[0] = chan(60 + 80 * u + 30 * std::sin(12 * v));
      p[1] = chan(90 + 70 * v + 20 * std::sin(9 * u));
      p[2] = chan(70 + 60 * u * v);
    }
  return file;
}

}  // namespace velkaro::bench
