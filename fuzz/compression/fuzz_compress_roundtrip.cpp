// Any bytes compress to the same block as the plain coder makes, and that
// block expands back to the same bytes.
#include "compression/compression.h"
#include "tests/compression/literal_huffman.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> source(data, data + size);
  velkaro::CCompression c("src", "dst");
  std::vector<uint8_t> block;
  if (!c.CompressBytes(source, block).ok) std::abort();
  if (block != velkaro::testing::LiteralCompress(source)) std::abort();
  std::vector<uint8_t> back;
  const velkaro::CompressionOutcome outcome = c.DecompressBytes(block, back);
  if (!outcome.ok || back != source) std::abort();
  return 0;
}
