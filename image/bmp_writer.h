#pragma once

// The one BMP writer: bottom-up bitmaps with a 40-byte Windows header, the
// kind every reader takes, at 24 bits (the designed plan format) or 8 bits
// with a palette. The headers alone, for a caller that lays the pixels out
// in memory itself, or a whole file written all or nothing.

#include "image/bmp_layout.h"
#include "platform/atomic_file.h"
#include "platform/status.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velkaro::image {

struct BmpFormat {
  int32_t width = 0;        // 1 to kBmpMaxSide
  int32_t height = 0;       // 1 to kBmpMaxSide
  int bits_per_pixel = 24;  // 24: blue, green, red; 8: indices into `palette`
  // kRle8 (8 bits only): the caller follows the headers with the codes,
  // `coded_bytes` of them, which the headers state.
  BmpCoding coding = BmpCoding::kRaw;
  uint64_t coded_bytes = 0;
  std::vector<std::array<uint8_t, 3>> palette{};  // RGB; at most 256 entries, 8 bits only
  uint32_t pixels_per_metre = 2835;               // 72 dpi, what most writers put there
};

// Bytes per stored row of raw pixels: `bits` a pixel, padded to 4 bytes.
[[nodiscard]] uint64_t BmpStride(int32_t width, int bits);

// Whether this writer writes `format`; else what is wrong with it (kInvalid).
[[nodiscard]] Status CheckBmpFormat(const BmpFormat& format);

// The file header, the info header and the palette: every byte before the
// first pixel, with the sizes of the file and of its pixels filled in. For
// raw coding the stored rows follow, bottom row first, each BmpStride bytes
// (the padding zero). Empty when CheckBmpFormat refuses the format.
[[nodiscard]] std::vector<uint8_t> BmpHeader(const BmpFormat& format);

// Fills one row of the picture, counted from the top: 3 * width bytes of
// red, green, blue at 24 bits, width palette indices at 8 bits.
using BmpRowFill = std::function<void(int32_t row, uint8_t* pixels)>;

// Writes a raw bitmap to `path`, all or nothing (platform/atomic_file): the
// headers, then every row from `fill`, asked for in the order rows are
// stored, the bottom one first. Refuses a format CheckBmpFormat refuses and
// run-length coding (kUnsupported); a failed write is a file error on `path`,
// and the file that was there stays as it was.
Status WriteBmp(const std::string& path, const BmpFormat& format, const BmpRowFill& fill);

// A raw 24-bit bitmap written all or nothing from rows that come top first,
// as decoders give them: each row goes straight to its place in the
// bottom-up file, so a picture of any height costs one row of memory and no
// reader has to run backwards. Nothing is at `path` until Commit() succeeds.
//
// Thread safety: none; one owner.
class BmpRowWriter {
 public:
  explicit BmpRowWriter(std::string path) : path_(path), out_(std::move(path)) {}

  // Creates the file and writes the headers; REQUIRES: 24 bits, raw coding.
  Status Open(const BmpFormat& format);
  // Row `row`, counted from the top, as 3 * width bytes of red, green, blue.
  Status WriteRow(int32_t row, const uint8_t* rgb);
  // Puts the file in place; every row must have been written.
  Status Commit();

 private:
  std::string path_;
  AtomicFile out_;
  BmpFormat format_;
  uint64_t pixels_at_ = 0;
  int32_t rows_written_ = 0;
  std::vector<uint8_t> stored_;
};

}  // namespace velkaro::image
