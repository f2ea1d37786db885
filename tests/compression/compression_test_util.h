#pragma once

// Byte strings with chosen statistics, for the compressor's tests.

#include <cstdint>
#include <vector>

namespace velkaro::testing {

// `counts[s]` copies of each byte value s, shuffled with `seed`.
std::vector<uint8_t> BytesWithCounts(const std::vector<uint64_t>& counts, uint32_t seed);

}  // namespace velkaro::testing
