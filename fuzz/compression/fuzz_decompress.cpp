// Any bytes as a compressed block: the expander must stay inside the block,
// emit no more than its L bytes (and at most one per code bit), and emit
// exactly what the plain tree walk emits.
#include "compression/compressed_block_format.h"
#include "compression/compression.h"
#include "tests/compression/literal_huffman.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes, so that any read past the end is caught.
  std::vector<uint8_t> block(data, data + size);
  velkaro::CCompression c("block", "out");
  std::vector<uint8_t> out;
  const velkaro::CompressionOutcome outcome = c.DecompressBytes(block, out);
  const auto expected = velkaro::testing::LiteralDecompress(block);
  if (!expected) {
    if (outcome.ok || !out.empty()) std::abort();
    return 0;
  }
  const uint32_t length =
      velkaro::LoadLe32(block.data() + velkaro::block::kSourceLengthOffset);
  if (out != *expected) std::abort();
  if (out.size() > length || out.size() > 8 * (size - velkaro::block::kHeaderSize)) std::abort();
  if (outcome.ok != (out.size() == length) || outcome.count != out.size()) std::abort();
  return 0;
}
