// Any bytes as a compressed block: the expander must stay inside the block,
// emit no more than its L bytes (and at most one per code bit), and emit
// exactly what the plain tree walk emits, in one stream and in stretches of
// a few bytes joined where they agree (sizes taken from the input's length,
// so that every seam is met).
#include "compression/codec_passes.h"
#include "compression/compressed_block_format.h"
#include "compression/compression.h"
#include "fuzz/compression/small_pieces.h"
#include "tests/support/literal_huffman.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

void Check(const velkaro::CompressionOutcome& outcome, const std::vector<uint8_t>& out,
           const std::optional<std::vector<uint8_t>>& expected, std::span<const uint8_t> block) {
  if (!expected) {
    if (outcome.ok || !out.empty()) std::abort();
    return;
  }
  const uint32_t length = velkaro::LoadLe32(block.data() + velkaro::block::kSourceLengthOffset);
  if (out != *expected) std::abort();
  if (out.size() > length || out.size() > 8 * (block.size() - velkaro::block::kHeaderSize))
    std::abort();
  if (outcome.ok != (out.size() == length) || outcome.count != out.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes, so that any read past the end is caught.
  const std::vector<uint8_t> block(data, data + size);
  const auto expected = velkaro::testing::LiteralDecompress(block);

  velkaro::CCompression c("block", "out");
  std::vector<uint8_t> out;
  Check(c.DecompressBytes(block, out), out, expected, block);

  const velkaro::CodecTuning tuning = velkaro::fuzz::SmallPieces(size);
  velkaro::MemoryInput in(block);
  std::vector<uint8_t> pieces;
  velkaro::VectorOutput sink(pieces);
  Check(velkaro::DecompressWith(c, in, sink, tuning), pieces, expected, block);
  return 0;
}
