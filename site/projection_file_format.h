#pragma once

// Layout of a projection file (.vlk), shared by the writer, the reader and
// the vlk tool. All integers are little-endian; doubles are IEEE 754 binary64,
// little-endian. docs/projection-file.md describes the format for users.
//
//   offset  size      content
//   0       4         header length: 145
//   4       4         magic: 0x20 'K' 'L' 'V'
//   8       1         format byte: 1
//   9       4         zero
//   13      128       geocode matrix, 16 doubles row by row
//   141     4         zero
//   145     1032 + N  the compressed plan block (N, L, table, N code bytes)
//
// Velkaro then appends a checksum trailer, which readers of the format as
// it was designed ignore, as they ignore any tail:
//
//   +0      4         'V' 'L' 'K' '#'
//   +4      4         trailer version: 1
//   +8      8         XXH64 (seed 0) of every byte before the trailer
//
// A file whose tail is anything else (none, or other bytes) has no checksum
// and opens as it always did.

#include "compression/compressed_block_format.h"

#include <bit>
#include "platform/byte_order.h"

#include <cstdint>

namespace velkaro {

inline constexpr uint32_t kProjectionHeaderSize = 145;
inline constexpr uint32_t kProjectionLengthOffset = 0;
inline constexpr uint32_t kProjectionMagicOffset = 4;
inline constexpr uint8_t kProjectionMagic[4] = {0x20, 0x4B, 0x4C, 0x56};
inline constexpr uint32_t kProjectionFormatOffset = 8;
inline constexpr uint8_t kProjectionFormat = 1;
inline constexpr uint32_t kProjectionMatrixOffset = 13;
inline constexpr int kProjectionMatrixElements = 16;
inline constexpr uint32_t kProjectionMatrixSize = 8 * kProjectionMatrixElements;
inline constexpr uint32_t kProjectionBlockOffset = kProjectionHeaderSize;
// The block's own header (N, L) and frequency table precede its code bytes.
inline constexpr uint32_t kProjectionBlockFixedSize = block::kHeaderSize;
// No file shorter than this can hold a block, even an empty one.
inline constexpr uint32_t kProjectionMinFileSize =
    kProjectionBlockOffset + kProjectionBlockFixedSize;

static_assert(kProjectionMatrixOffset + kProjectionMatrixSize + 4 == kProjectionHeaderSize);

inline constexpr uint8_t kChecksumMagic[4] = {'V', 'L', 'K', '#'};
inline constexpr uint32_t kChecksumVersion = 1;
inline constexpr uint32_t kChecksumTrailerSize = 16;

// Matrix elements (k = 4 * row + column). Multiplying the matrix with the
// column (lat, lon, 0, 1) gives (plan x, plan y, 0, 1); element 6 holds 1.0 as
// the files in the field always did.
inline constexpr int kMatrixXLat = 0;
inline constexpr int kMatrixXLon = 1;
inline constexpr int kMatrixX0 = 3;
inline constexpr int kMatrixYLat = 4;
inline constexpr int kMatrixYLon = 5;
inline constexpr int kMatrixY0 = 7;
inline constexpr int kMatrixOnes[] = {6, 10, 15};

inline constexpr uint32_t MatrixElementOffset(int k) {
  return kProjectionMatrixOffset + 8 * static_cast<uint32_t>(k);
}

}  // namespace velkaro
