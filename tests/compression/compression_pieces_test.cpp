// The threaded passes against the plain coder. Sources are cut into blocks
// of every small size, so that blocks' codes start at every bit of a byte
// and share bytes with one, two or more neighbours; blocks are expanded in
// stretches of every small size, on one thread and two, with enough recorded
// codes to join stretches and with too few, so that both the joins and the
// decoding again after a failed one run many times on small inputs.
#include "compression/codec_passes.h"
#include "compression/compressed_block_format.h"
#include "compression/huffman_decoder.h"
#include "tests/compression/compression_test_util.h"
#include "tests/support/literal_huffman.h"

#include <algorithm>
#include <random>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::BytesWithCounts;
using testing::Fibonacci;
using testing::LiteralCompress;
using testing::LiteralDecompress;

struct Source {
  const char* name;
  std::vector<uint8_t> bytes;
};

// Rows of a bitmap: runs of a few colours with specks, the fast paths' food.
std::vector<uint8_t> BitmapRows(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes;
  while (bytes.size() < size) {
    const uint8_t pixel[3] = {static_cast<uint8_t>(rng() % 4 * 60), 200, 255};
    for (unsigned k = 3 * (rng() % 40); k > 0; --k) bytes.push_back(pixel[k % 3]);
    bytes.push_back(static_cast<uint8_t>(rng()));
  }
  bytes.resize(size);
  return bytes;
}

std::vector<Source> Sources() {
  std::mt19937 rng(5);
  std::vector<uint8_t> noise(3000);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  return {
      {"bitmap_rows", BitmapRows(6000, 1)},
      // Codes of up to 17 bits, most of them long.
      {"fibonacci", BytesWithCounts(Fibonacci(18), 3)},
      {"noise", noise},
      {"one_byte", {0x42}},
      {"one_value", std::vector<uint8_t>(777, 9)},
      {"empty", {}},
  };
}

std::vector<uint8_t> CompressTuned(std::span<const uint8_t> source, const CodecTuning& tuning) {
  CCompression c("src", "dst");
  MemoryInput in(source);
  std::vector<uint8_t> block;
  VectorOutput out(block);
  const CompressionOutcome outcome = CompressWith(c, in, out, tuning);
  EXPECT_TRUE(outcome.ok) << outcome.detail;
  EXPECT_EQ(outcome.count + block::kHeaderSize, block.size());
  return block;
}

CompressionOutcome ExpandTuned(std::span<const uint8_t> block, const CodecTuning& tuning,
                               std::vector<uint8_t>& bytes) {
  CCompression c("block", "out");
  MemoryInput in(block);
  VectorOutput out(bytes);
  return DecompressWith(c, in, out, tuning);
}

TEST(BlockCompress, EveryBlockSizeMatchesTheLiteralCoder) {
  for (const Source& source : Sources()) {
    const std::vector<uint8_t> literal = LiteralCompress(source.bytes);
    for (size_t block : {1, 2, 3, 5, 7, 8, 13, 64, 999, 1 << 20}) {
      for (int threads : {1, 2}) {
        SCOPED_TRACE(::testing::Message()
                     << source.name << ", blocks of " << block << ", " << threads << " threads");
        CodecTuning tuning;
        tuning.block = block;
        tuning.threads = threads;
        EXPECT_TRUE(CompressTuned(source.bytes, tuning) == literal);
      }
    }
  }
}

// Sources of more than a mebibyte, which the encoder codes two bytes a
// lookup: pairs of short codes (bitmap rows), of codes about a byte long,
// and of codes so long that they break the groups of pairs; in blocks that
// start at odd bytes and bits.
TEST(BlockCompress, LongSourcesMatchTheLiteralCoder) {
  std::vector<uint64_t> byte_long(256, 5000);
  for (int s = 0; s < 40; ++s) byte_long[s * 6] = 20000;
  std::vector<uint64_t> deep = Fibonacci(26, 7, 5);
  for (int s = 0; s < 256; s += 2) deep[s] += 8000;
  const Source sources[] = {
      {"bitmap_rows", BitmapRows(size_t{5} << 18, 2)},
      {"byte_long", BytesWithCounts(byte_long, 4)},
      {"deep", BytesWithCounts(deep, 6)},
  };
  for (const Source& source : sources) {
    ASSERT_GT(source.bytes.size(), size_t{1} << 20) << source.name;
    const std::vector<uint8_t> literal = LiteralCompress(source.bytes);
    for (size_t block : {size_t{4099}, size_t{65537}, size_t{1} << 20}) {
      SCOPED_TRACE(::testing::Message() << source.name << ", blocks of " << block);
      CodecTuning tuning;
      tuning.block = block;
      tuning.threads = 2;
      EXPECT_TRUE(CompressTuned(source.bytes, tuning) == literal);
    }
  }
}

// Tunings that put stretch seams everywhere: single bytes, stretches shorter
// than a code, rooms too small for a stretch, one recorded code (a join only
// where the stretch before ends exactly on a byte) and many; and stretches
// long enough for one to four lanes to run in step on one thread and two.
std::vector<CodecTuning> StretchTunings(bool with_threads = true) {
  std::vector<CodecTuning> tunings;
  auto add = [&](size_t stretch, int sync, int lanes, int stretches, int threads) {
    CodecTuning t;
    t.stretch = stretch;
    t.sync_symbols = sync;
    t.lanes = lanes;
    t.stretches = stretches;
    t.threads = threads;
    tunings.push_back(t);
  };
  for (int lanes = 1; lanes <= HuffmanDecoder::kMaxLanes; ++lanes) {
    for (size_t stretch : {1, 2, 3, 5})
      for (int sync : {1, 3, 128}) add(stretch, sync, lanes, lanes + 1, 1);
    for (size_t stretch : {64, 256})
      for (int sync : {2, 128})
        for (int threads = 1; threads <= (with_threads ? 2 : 1); ++threads)
          add(stretch, sync, lanes, 0, threads);
  }
  for (size_t room : {1, 2, 9, 100}) {
    CodecTuning t;
    t.stretch_output = room;
    t.stretches = 3;
    t.threads = 1;
    tunings.push_back(t);
  }
  return tunings;
}

std::string Describe(const CodecTuning& t) {
  return ::testing::PrintToString(
      std::vector<size_t>{t.stretch, t.stretch_output, static_cast<size_t>(t.sync_symbols),
                          static_cast<size_t>(t.stretches), static_cast<size_t>(t.threads)});
}

TEST(StretchExpand, EveryTuningGivesTheSourceBack) {
  for (const Source& source : Sources()) {
    const std::vector<uint8_t> block = LiteralCompress(source.bytes);
    for (const CodecTuning& tuning : StretchTunings()) {
      SCOPED_TRACE(std::string(source.name) + " " + Describe(tuning));
      std::vector<uint8_t> back;
      const CompressionOutcome outcome = ExpandTuned(block, tuning, back);
      ASSERT_TRUE(outcome.ok) << outcome.detail;
      EXPECT_EQ(outcome.count, source.bytes.size());
      ASSERT_TRUE(back == source.bytes);
    }
  }
}

// Blocks the plain walk decodes only in part: codes cut off at every length,
// padding that decodes to more bytes than L, and the 255-deep tree of
// wrapping counts, whose codes are far longer than a stretch.
TEST(StretchExpand, DamagedBlocksDecodeAsTheWalkDoes) {
  std::vector<std::vector<uint8_t>> blocks;
  const std::vector<uint8_t> whole = LiteralCompress(BitmapRows(900, 8));
  for (size_t cut = block::kHeaderSize; cut <= whole.size(); cut += 61)
    blocks.emplace_back(whole.begin(), whole.begin() + static_cast<long>(cut));
  std::vector<uint8_t> longer = whole;
  StoreLe32(longer.data() + block::kSourceLengthOffset, 5000);
  blocks.push_back(longer);
  std::vector<uint8_t> deep(block::kHeaderSize, 0);
  for (int s = 2; s < 256; ++s) StoreLe32(deep.data() + block::kTableOffset + 4 * s, 0xFFFFFFFFu);
  StoreLe32(deep.data() + block::kTableOffset, 200);
  StoreLe32(deep.data() + block::kTableOffset + 4, 200);
  std::mt19937 rng(2);
  for (int k = 0; k < 300; ++k) deep.push_back(static_cast<uint8_t>(rng() % 3 ? 0xFF : rng()));
  StoreLe32(deep.data() + block::kCodeCountOffset, 300);
  StoreLe32(deep.data() + block::kSourceLengthOffset, 400);
  blocks.push_back(deep);

  for (const std::vector<uint8_t>& block : blocks) {
    const auto expected = LiteralDecompress(block);
    ASSERT_TRUE(expected.has_value());
    const bool complete = expected->size() == LoadLe32(block.data() + block::kSourceLengthOffset);
    for (const CodecTuning& tuning : StretchTunings(false)) {
      SCOPED_TRACE(::testing::Message() << block.size() << "-byte block " << Describe(tuning));
      std::vector<uint8_t> back;
      const CompressionOutcome outcome = ExpandTuned(block, tuning, back);
      EXPECT_EQ(outcome.ok, complete);
      EXPECT_EQ(outcome.count, back.size());
      ASSERT_TRUE(back == *expected);
    }
  }
}

// Two workers write the stretches each decoded, and an output that is
// watched still sees its bytes front to back, each piece once: the picture
// built while a plan expands needs them so.
TEST(StretchExpand, AWatchedOutputSeesItsBytesInOrder) {
  const std::vector<uint8_t> source = BitmapRows(20000, 40);
  const std::vector<uint8_t> block = LiteralCompress(source);
  // Which worker gets to which stretch first varies from run to run.
  for (int lanes : {1, 4, 1, 4, 1, 4}) {
    CodecTuning tuning;
    tuning.stretch = 64;
    tuning.lanes = lanes;
    tuning.stretches = 4 * lanes;  // two groups of stretches for each worker
    tuning.threads = 2;
    std::vector<uint8_t> back, seen;
    std::vector<uint64_t> offsets;
    CCompression c("block", "out");
    MemoryInput in(block);
    VectorOutput inner(back);
    WatchedOutput out(inner, [&](uint64_t offset, std::span<const uint8_t> bytes) {
      offsets.push_back(offset);
      if (offset == seen.size()) seen.insert(seen.end(), bytes.begin(), bytes.end());
    });
    ASSERT_TRUE(DecompressWith(c, in, out, tuning).ok);
    EXPECT_GT(offsets.size(), 50u);
    EXPECT_TRUE(std::is_sorted(offsets.begin(), offsets.end()));
    EXPECT_TRUE(seen == source && back == source) << lanes << " lanes";
  }
}

}  // namespace
}  // namespace velkaro
