// Any bytes compress to the same block as the plain coder makes, whether
// coded in one stream or in blocks of a few bytes joined at odd bits, and
// that block expands back to the same bytes, also in stretches of a few
// bytes (sizes taken from the input's length).
#include "compression/codec_passes.h"
#include "compression/compression.h"
#include "fuzz/compression/small_pieces.h"
#include "tests/support/literal_huffman.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> source(data, data + size);
  const std::vector<uint8_t> literal = velkaro::testing::LiteralCompress(source);
  velkaro::CCompression c("src", "dst");
  std::vector<uint8_t> block;
  if (!c.CompressBytes(source, block).ok) std::abort();
  if (block != literal) std::abort();
  std::vector<uint8_t> back;
  const velkaro::CompressionOutcome outcome = c.DecompressBytes(block, back);
  if (!outcome.ok || back != source) std::abort();

  const velkaro::CodecTuning tuning = velkaro::fuzz::SmallPieces(size);
  velkaro::MemoryInput in(source);
  std::vector<uint8_t> pieces;
  velkaro::VectorOutput sink(pieces);
  if (!velkaro::CompressWith(c, in, sink, tuning).ok || pieces != literal) std::abort();
  velkaro::MemoryInput block_in(literal);
  std::vector<uint8_t> expanded;
  velkaro::VectorOutput expanded_sink(expanded);
  if (!velkaro::DecompressWith(c, block_in, expanded_sink, tuning).ok || expanded != source)
    std::abort();
  return 0;
}
