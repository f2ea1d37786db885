#include "image/bmp_pixels.h"

#include "platform/byte_order.h"

#include <cstring>

namespace velkaro::image {
namespace {

uint8_t Scale(const BmpChannel& channel, uint32_t pixel) {
  if (channel.bits == 0) return 0;
  const uint64_t value = (pixel & channel.mask) >> channel.shift;
  if (channel.bits == 8) return static_cast<uint8_t>(value);
  const uint64_t max = (uint64_t{1} << channel.bits) - 1;
  return static_cast<uint8_t>((value * 255 + max / 2) / max);
}

}  // namespace

void IndicesToRgb(const BmpLayout& layout, const uint8_t* indices, uint8_t* rgb) {
  for (int32_t x = 0; x < layout.width; ++x, rgb += 3)
    std::memcpy(rgb, layout.palette[indices[x]].data(), 3);
}

void StoredRowToRgb(const BmpLayout& layout, const uint8_t* stored, uint8_t* rgb) {
  const int bits = layout.bits_per_pixel;
  const int32_t width = layout.width;
  switch (bits) {
    case 24:
      for (int32_t x = 0; x < width; ++x, stored += 3, rgb += 3) {
        rgb[0] = stored[2];
        rgb[1] = stored[1];
        rgb[2] = stored[0];
      }
      return;
    case 16:
    case 32:
      for (int32_t x = 0; x < width; ++x, rgb += 3) {
        const uint32_t pixel = bits == 16 ? LoadLe16(stored + 2 * x) : LoadLe32(stored + 4 * x);
        for (int c = 0; c < 3; ++c) rgb[c] = Scale(layout.channels[c], pixel);
      }
      return;
    case 8:
      IndicesToRgb(layout, stored, rgb);
      return;
    default: {  // 1, 2 or 4 bits: the leftmost pixel in the high bits
      const int per_byte = 8 / bits;
      const unsigned mask = (1u << bits) - 1;
      for (int32_t x = 0; x < width; ++x, rgb += 3) {
        const int slot = x % per_byte;
        const unsigned index = (stored[x / per_byte] >> (8 - bits * (slot + 1))) & mask;
        std::memcpy(rgb, layout.palette[index].data(), 3);
      }
      return;
    }
  }
}

}  // namespace velkaro::image
