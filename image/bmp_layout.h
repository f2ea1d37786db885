#pragma once

// Where a plan bitmap (.bmp) keeps its pixels and how to read them: the
// Windows and OS/2 headers a plan may come with (12 to 124 bytes), palettes
// of 1, 2, 4 and 8 bits, 16- and 32-bit pixels with or without colour masks,
// 24-bit pixels, 8- and 4-bit run-length coding, rows stored bottom-up or
// top-down. Embedded JPEG or PNG, OS/2 Huffman and 24-bit run-length coding
// are refused. Alpha is not kept: a plan is exported as RGB.

#include "platform/status.h"

#include <array>
#include <cstdint>
#include <span>

namespace velkaro::image {

// The file header ("BM", the file's size, where the pixels begin), then
// the info header; the plain Windows info header is 40 bytes.
inline constexpr uint32_t kBmpFileHeaderBytes = 14;
inline constexpr uint32_t kBmpWindowsInfoHeaderBytes = 40;
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
  // The info header's size: 12 (OS/2 1.x), 16 to 64 (OS/2 2.x) or a
  // Windows size; and the colours it says the palette has (0: as many as
  // the depth allows), as stated.
  uint32_t header_size = 0;
  uint32_t colours_used = 0;
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

// The Windows info header sizes (40, 52, 56, 108 and 124 bytes). Any other
// size from 16 to 64 is an OS/2 2.x header, whose compression numbers 3 and
// 4 mean something else.
[[nodiscard]] bool IsWindowsBmpHeader(uint32_t header_size);

// Reads the headers from `head` (the first bytes of the file, up to
// kBmpHeadBytes) of a file `file_size` bytes long and fills `layout`; or says
// what is wrong (kInvalid for a damaged or foreign file, kUnsupported for a
// kind of bitmap no plan reader here takes). For raw coding every row is
// checked to lie within the file.
Status ParseBmpLayout(std::span<const uint8_t> head, uint64_t file_size, BmpLayout& layout);

}  // namespace velkaro::image
