#pragma once

// A second, deliberately plain coder for the compressed block, written
// straight from the block's rules with no speed tricks: the full scan of all
// node indices for every merge, a walk from leaf to root for every source
// byte, and a walk from the root for every code bit. The library must match
// it byte for byte.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velkaro::testing {

// The whole block for `source` (which must be shorter than 4 GiB).
std::vector<uint8_t> LiteralCompress(std::span<const uint8_t> source);

// The bytes `block` expands to: stops after L bytes or when the code bytes
// (N of them, or as many as the block holds) run out. nullopt when the block
// is shorter than its 1032-byte start.
std::optional<std::vector<uint8_t>> LiteralDecompress(std::span<const uint8_t> block);

// The code lengths of the 256 byte values for a table of counts.
std::vector<int> LiteralCodeLengths(const uint32_t (&counts)[256]);

}  // namespace velkaro::testing
