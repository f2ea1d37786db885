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

std::vector<uint64_t> Fibonacci(int symbols, int first_symbol, int stride) {
  std::vector<uint64_t> counts(256, 0);
  uint64_t a = 1, b = 1;
  for (int k = 0; k < symbols; ++k) {
    counts[(first_symbol + k * stride) % 256] = a;
    const uint64_t next = a + b;
    a = b;
    b = next;
  }
  return counts;
}

}  // namespace velkaro::testing
