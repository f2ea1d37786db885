#include "tests/compression/compression_test_util.h"

#include <algorithm>
#include <random>

namespace velkaro::testing {

std::vector<uint8_t> BytesWithCounts(const std::vector<uint64_t>& counts, uint32_t seed) {
  std::vector<uint8_t> bytes;
  for (size_t s = 0; s < counts.size(); ++s)
    bytes.insert(bytes.end(), counts[s], static_cast<uint8_t>(s));
  std::mt19937 rng(seed);
  std::shuffle(bytes.begin(), bytes.end(), rng);
  return bytes;
}

}  // namespace velkaro::testing
