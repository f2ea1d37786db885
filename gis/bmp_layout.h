#pragma once

// Where a plan bitmap (.bmp) keeps its pixels and how to read them: the
// Windows and OS/2 headers a plan may come with (12 to 124 bytes), palettes
// of 1, 2, 4 and 8 bits, 16- and 32-bit pixels with or without colour masks,
// 24-bit pixels, 8- and 4-bit run-length coding, rows stored bottom-up or
// top-down. Embedded JPEG or PNG, OS/2 Huffman and 24-bit run-length coding
// are refused. Alpha is not kept: a plan is exported as RGB.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace velkaro::gis {

// Enough of the start of a file for every header, colour mask and a full
// 256-entry palette.
inline constexpr size_t kBmpHeadBytes = 2048;
// No side longer than this; keeps every row buffer within reason whatever a
// run-length coded file claims.
inline constexpr int32_t kBmpMaxSide = 1 << 24;

enum class BmpCoding { kRaw, kRle8, kRle4 };

// One colour channel of a 16- or 32-bit pixel: value = (pixel & mask) >> shift,
// scaled from `bits` bits to 8.
struct BmpChannel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
};

struct BmpLayout {
  int32_t width = 0;
  int32_t height = 0;
  bool top_down = false;
  int bits_per_pixel = 0;
  BmpCoding coding = BmpCoding::kRaw;
  uint64_t pixel_offset = 0;                          // first byte of the pixel data
  uint64_t stride = 0;                                // bytes per stored row (raw coding)
  std::array<BmpChannel, 3> channels{};               // red, green, blue (16 and 32 bits)
  std::array<std::array<uint8_t, 3>, 256> palette{};  // RGB; entries the file lacks are black
};

// Reads the headers from `head` (the first bytes of the file, up to
// kBmpHeadBytes) of a file `file_size` bytes long. Returns an empty string
// and fills `layout`, or says what is wrong. For raw coding every row is
// checked to lie within the file.
std::string ParseBmpLayout(std::span<const uint8_t> head, uint64_t file_size, BmpLayout& layout);

}  // namespace velkaro::gis
