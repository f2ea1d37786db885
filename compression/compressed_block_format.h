#pragma once

// Layout of a compressed block: the byte-wise Huffman code of one file, with
// the byte counts it was built from. The projection file carries one such
// block after its header; `vlk compress` and `vlk expand` read and write them
// as files of their own. All integers are little-endian.
//
//   offset 0     4 bytes     N, the number of code bytes after the table
//   offset 4     4 bytes     L, the length of the uncompressed file
//   offset 8     1024 bytes  256 counts, one unsigned 32-bit per byte value
//   offset 1032  N bytes     the codes, first bit in the least significant bit

#include "platform/byte_order.h"

#include <cstddef>
#include <cstdint>

namespace velkaro::block {

inline constexpr size_t kCodeCountOffset = 0;
inline constexpr size_t kSourceLengthOffset = 4;
inline constexpr size_t kTableOffset = 8;
inline constexpr size_t kSymbolCount = 256;
inline constexpr size_t kTableSize = kSymbolCount * 4;
inline constexpr size_t kCodesOffset = kTableOffset + kTableSize;  // 1032
inline constexpr size_t kHeaderSize = kCodesOffset;

// L and N are 32-bit: a source must be shorter than 4 GiB.
inline constexpr uint64_t kMaxSourceLength = 0xFFFFFFFFu;

static_assert(kCodesOffset == 1032);

}  // namespace velkaro::block
