#pragma once

// Byte strings with chosen statistics, for the compressor's tests.

#include <cstdint>
#include <vector>

namespace velkaro::testing {

// `counts[s]` copies of each byte value s, shuffled with `seed`.
std::vector<uint8_t> BytesWithCounts(const std::vector<uint64_t>& counts, uint32_t seed);

// Fibonacci counts for `symbols` byte values from `first_symbol` on, every
// `stride`th: the longest codes a source of their size can have.
std::vector<uint64_t> Fibonacci(int symbols, int first_symbol = 0, int stride = 37);

}  // namespace velkaro::testing
