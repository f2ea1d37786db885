// The fast coder against the plain one: same blocks byte for byte, same
// bytes back, on real bitmaps, on skewed random data, and on trees deep
// enough to need every slow path.
#include "compression/compressed_block_format.h"
#include "compression/compression.h"
#include "compression/huffman_codec.h"
#include "tests/compression/compression_test_util.h"
#include "tests/support/literal_huffman.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <random>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::BytesWithCounts;
using testing::Fibonacci;
using testing::LiteralCompress;
using testing::LiteralDecompress;

void ExpectSameAsLiteral(const std::vector<uint8_t>& source) {
  CCompression c("src", "dst");
  std::vector<uint8_t> block;
  const CompressionOutcome packed = c.CompressBytes(source, block);
  ASSERT_TRUE(packed.ok) << packed.detail;
  const std::vector<uint8_t> literal = LiteralCompress(source);
  ASSERT_EQ(block.size(), literal.size());
  EXPECT_TRUE(block == literal)
      << "first difference at "
      << std::mismatch(block.begin(), block.end(), literal.begin()).first - block.begin();
  EXPECT_EQ(packed.count, block.size() - block::kHeaderSize);

  std::vector<uint8_t> back;
  const CompressionOutcome expanded = c.DecompressBytes(block, back);
  EXPECT_TRUE(expanded.ok);
  EXPECT_TRUE(back == source);
}

std::vector<std::string> SuiteFiles() {
  std::vector<std::string> files;
  for (const char* sub : {"g", "q", "b"}) {
    const std::filesystem::path dir =
        std::filesystem::path(VELKARO_SOURCE_DIR) / "tests/data/bmpsuite" / sub;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
      if (entry.path().extension() == ".bmp") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(BitmapSuite, EveryFileMatchesTheLiteralCoder) {
  const std::vector<std::string> files = SuiteFiles();
  ASSERT_GE(files.size(), 80u) << "bitmap suite not found under " << VELKARO_SOURCE_DIR;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    ExpectSameAsLiteral(testing::ReadAll(path));
  }
}

struct Distribution {
  const char* name;
  std::vector<uint64_t> counts;
};

std::vector<uint64_t> Geometric(uint64_t top, int symbols) {
  std::vector<uint64_t> counts(256, 0);
  for (int k = 0; k < symbols; ++k) counts[(k * 37) % 256] = top >> (k * 40 / symbols);
  return counts;
}

std::vector<uint64_t> Only(int symbol, uint64_t count) {
  std::vector<uint64_t> counts(256, 0);
  counts[symbol] = count;
  return counts;
}

// The library's tree and codes for a table of counts.
struct Tree {
  explicit Tree(const uint32_t (&counts)[256]) {
    uint32_t weights[kTreeNodes] = {};
    uint8_t active[kTreeNodes];
    std::copy(counts, counts + 256, weights);
    root = BuildHuffmanTree(weights, active, nodes);
    ComputeCodes(nodes, root, codes);
  }
  CNode nodes[kTreeNodes];
  int16_t root;
  HuffmanCode codes[256];
};

class SkewedData : public ::testing::TestWithParam<Distribution> {};

TEST_P(SkewedData, MatchesTheLiteralCoder) {
  ExpectSameAsLiteral(BytesWithCounts(GetParam().counts, 7));
}

INSTANTIATE_TEST_SUITE_P(
    Counts, SkewedData,
    ::testing::Values(Distribution{"uniform", std::vector<uint64_t>(256, 1200)},
                      Distribution{"one_value_repeated", Only(0xFF, 100000)},
                      Distribution{"one_value_once", Only(0, 1)},
                      Distribution{"two_values",
                                   [] {
                                     auto c = Only(3, 50000);
                                     c[200] = 7;
                                     return c;
                                   }()},
                      Distribution{"geometric", Geometric(uint64_t{1} << 18, 200)},
                      // Fibonacci counts make the longest codes a file of this
                      // size can have: well past the decoder's table.
                      Distribution{"fibonacci_27", Fibonacci(27, 0, 1)},
                      Distribution{"fibonacci_spread", Fibonacci(26, 5, 37)},
                      // 31 common values and 225 rare ones, which share the
                      // 32nd part of the codes: the rare codes are 12 and 13
                      // bits long, under more first-12-bit prefixes than the
                      // decoder keeps second tables for.
                      Distribution{"rare_codes_under_many_prefixes",
                                   [] {
                                     std::vector<uint64_t> c(256, 10);
                                     for (int s = 0; s < 31; ++s) c[s * 8] = 2250;
                                     return c;
                                   }()}),
    [](const auto& info) { return std::string(info.param.name); });

// Wrapping sums in a hostile table give a chain 255 levels deep; the codes
// the library computes must agree with the plain leaf-to-root walk.
TEST(CodeLengths, AgreeWithTheLiteralWalkOnHostileTables) {
  std::mt19937 rng(11);
  for (int round = 0; round < 20; ++round) {
    uint32_t counts[256];
    for (auto& c : counts) c = round == 0 ? 0xFFFFFFFFu : rng() >> (rng() % 32);
    if (round == 0) counts[0] = counts[1] = 200;
    const Tree tree(counts);
    EXPECT_EQ(tree.root, 510);
    const auto expected = testing::LiteralCodeLengths(counts);
    for (int s = 0; s < 256; ++s) ASSERT_EQ(tree.codes[s].length, expected[s]) << "round " << round;
    if (round == 0) {
      EXPECT_EQ(*std::max_element(expected.begin(), expected.end()), 255);
    }
  }
}

// Codes of any depth go through the encoder's and decoder's slow paths; the
// decoder also gets its input and output room in odd pieces, so codes are
// cut off at every possible point between calls.
TEST(DeepCodes, EncodeAndDecodeInPiecesAgreeWithTheLiteralWalk) {
  uint32_t counts[256];
  std::fill(counts, counts + 256, 0xFFFFFFFFu);
  counts[0] = counts[1] = 200;
  const Tree tree(counts);

  std::mt19937 rng(3);
  std::vector<uint8_t> source(3000);
  for (auto& b : source) b = static_cast<uint8_t>(rng() % 4 == 0 ? rng() % 4 : rng());

  HuffmanEncoder encoder(tree.codes);
  std::vector<uint8_t> stream(source.size() * 40 + encoder.Reserve());
  const uint8_t* p = source.data();
  size_t n = encoder.Encode(p, source.data() + source.size(), stream.data(),
                            stream.data() + stream.size());
  ASSERT_EQ(p, source.data() + source.size());
  n += encoder.Finish(stream.data() + n);
  stream.resize(n);

  std::vector<uint8_t> block(block::kHeaderSize);
  StoreLe32(block.data(), static_cast<uint32_t>(n));
  StoreLe32(block.data() + 4, static_cast<uint32_t>(source.size()));
  for (int s = 0; s < 256; ++s) StoreLe32(block.data() + 8 + 4 * s, counts[s]);
  block.insert(block.end(), stream.begin(), stream.end());
  EXPECT_TRUE(LiteralDecompress(block) == source);

  for (int round = 0; round < 4; ++round) {
    HuffmanDecoder decoder(tree.nodes, tree.root);
    std::vector<uint8_t> out(source.size() + HuffmanDecoder::kOutputSlack);
    size_t in_pos = 0, out_pos = 0;
    while (out_pos < source.size()) {
      const size_t in_piece =
          std::min<size_t>(stream.size() - in_pos, 1 + rng() % (round * 40 + 1));
      const size_t room = std::min<size_t>(source.size() - out_pos, 1 + rng() % (round * 30 + 1));
      const uint8_t* in = stream.data() + in_pos;
      const size_t got =
          decoder.Decode(in, in + in_piece, out.data() + out_pos, out.data() + out_pos + room);
      in_pos = static_cast<size_t>(in - stream.data());
      out_pos += got;
      ASSERT_LE(got, room);
      ASSERT_FALSE(got == 0 && in_pos == stream.size()) << "stalled at " << out_pos;
    }
    out.resize(out_pos);
    EXPECT_TRUE(out == source) << "round " << round;
  }
}

// One to four lanes decoded in step, each stream of its own length so that
// the lanes reach their ends at different times, with codes of 1 to 25 bits:
// one byte value of a 1-bit code (eight symbols a lookup), those past the
// table but within its second tables, taken inside the lanes' loop, and the
// deeper ones, taken by the tree. Each lane's input is exactly its stream
// (a read past it is caught under the address sanitizer); its output room
// is the whole source or, every other lane, half of it, and is followed by
// guard bytes past the room decoding may scribble on.
TEST(DecodeLanes, LanesOfEveryCountAndLengthGiveTheirSources) {
  std::vector<uint64_t> counts = Fibonacci(25, 3, 7);
  for (int s = 0; s < 256; s += 3) counts[s] += 300;
  counts[1] += 150000;
  uint32_t counts32[256];
  std::copy(counts.begin(), counts.end(), counts32);
  const Tree tree(counts32);
  const std::vector<uint8_t> all = BytesWithCounts(counts, 12);
  const HuffmanDecoder decoder(tree.nodes, tree.root);
  constexpr uint8_t kGuard = 0xA5;
  for (int count = 1; count <= HuffmanDecoder::kMaxLanes; ++count) {
    std::vector<uint8_t> sources[HuffmanDecoder::kMaxLanes], streams[HuffmanDecoder::kMaxLanes],
        outs[HuffmanDecoder::kMaxLanes];
    HuffmanDecoder::Lane lanes[HuffmanDecoder::kMaxLanes];
    HuffmanDecoder::Lane* group[HuffmanDecoder::kMaxLanes];
    size_t rooms[HuffmanDecoder::kMaxLanes];
    for (int i = 0; i < count; ++i) {
      sources[i].assign(all.begin() + 1000 * i, all.begin() + 1000 * i + 20000 + 3001 * i);
      HuffmanEncoder encoder(tree.codes);
      streams[i].resize(sources[i].size() * 4 + encoder.Reserve());
      const uint8_t* p = sources[i].data();
      size_t n = encoder.Encode(p, p + sources[i].size(), streams[i].data(),
                                streams[i].data() + streams[i].size());
      n += encoder.Finish(streams[i].data() + n);
      streams[i].resize(n);
      streams[i].shrink_to_fit();
      rooms[i] = i % 2 ? sources[i].size() / 2 : sources[i].size();
      outs[i].assign(rooms[i] + HuffmanDecoder::kOutputSlack + 64, kGuard);
      lanes[i] = {decoder.Start(), streams[i].data(), streams[i].data() + n, outs[i].data(),
                  outs[i].data() + rooms[i]};
      group[i] = &lanes[i];
    }
    decoder.DecodeLanes(group, count);
    for (int i = 0; i < count; ++i) {
      SCOPED_TRACE(::testing::Message() << count << " lanes, lane " << i);
      EXPECT_EQ(lanes[i].out, outs[i].data() + rooms[i]);
      EXPECT_TRUE(std::equal(outs[i].begin(), outs[i].begin() + rooms[i], sources[i].begin()));
      const auto guard = outs[i].begin() + rooms[i] + HuffmanDecoder::kOutputSlack;
      EXPECT_TRUE(std::all_of(guard, outs[i].end(), [](uint8_t b) { return b == kGuard; }));
    }
  }
}

// Bitmap-like data: stretches that repeat with periods of 1 to 8 and 24
// bytes, cut at odd places, with specks in between, so that repeated
// stretches start and stop at every offset. The rare bytes make a stretch
// whose codes are too long to keep packed.
TEST(FlatAreas, RepeatedStretchesMatchTheLiteralCoder) {
  std::mt19937 rng(17);
  std::vector<uint8_t> source;
  const int periods[] = {1, 2, 3, 4, 5, 6, 7, 8, 24, 48};
  while (source.size() < 600000) {
    const int period = periods[rng() % 10];
    uint8_t pattern[48];
    for (auto& b : pattern) b = static_cast<uint8_t>(rng() % 16 * 16);
    const size_t length = rng() % 3000;
    for (size_t k = 0; k < length; ++k) source.push_back(pattern[k % period]);
    for (unsigned k = rng() % 5; k > 0; --k) source.push_back(static_cast<uint8_t>(rng()));
  }
  for (int rep = 0; rep < 6; ++rep) {
    for (int k = 0; k < 24; ++k) source.push_back(static_cast<uint8_t>(16 * k + 7));
  }
  ExpectSameAsLiteral(source);
}

// The counts given to the encoder only choose how codes are grouped between
// stores; whatever they say, the stream is the same.
TEST(CountHint, DoesNotChangeTheStream) {
  std::vector<uint64_t> counts = Fibonacci(20, 0, 1);
  for (int s = 20; s < 256; ++s) counts[s] = 40;
  const std::vector<uint8_t> source = BytesWithCounts(counts, 9);
  uint32_t counts32[256];
  std::copy(counts.begin(), counts.end(), counts32);
  const Tree tree(counts32);

  auto encode = [&](const uint64_t* hint) {
    HuffmanEncoder encoder(tree.codes, hint);
    std::vector<uint8_t> out(source.size() * 4 + encoder.Reserve());
    const uint8_t* p = source.data();
    size_t n =
        encoder.Encode(p, source.data() + source.size(), out.data(), out.data() + out.size());
    n += encoder.Finish(out.data() + n);
    out.resize(n);
    return out;
  };
  const std::vector<uint8_t> reference = encode(nullptr);
  // Hints that put all weight on codes of one length select each grouping.
  for (int length = 1; length <= 30; ++length) {
    uint64_t hint[256] = {};
    for (int s = 0; s < 256; ++s) hint[s] = tree.codes[s].length == length ? 1000 : 0;
    EXPECT_TRUE(encode(hint) == reference) << "hint on codes of " << length << " bits";
  }
  EXPECT_TRUE(encode(counts.data()) == reference);
  // Hints of a long source also code two bytes a lookup where pairs of
  // codes of that length fit a group: four, three or two pairs a store, or
  // none. The source's longer codes break every kind of group.
  for (int length = 1; length <= 30; ++length) {
    uint64_t hint[256] = {};
    for (int s = 0; s < 256; ++s) hint[s] = tree.codes[s].length == length ? uint64_t{1} << 24 : 0;
    EXPECT_TRUE(encode(hint) == reference) << "long hint on codes of " << length << " bits";
  }
}

// Through the files, over several of the compressor's I/O blocks.
TEST(LargeFile, RoundTripsThroughFilesAcrossBlocks) {
  testing::TempFolder dir;
  std::vector<uint64_t> counts = Fibonacci(24, 10, 3);
  for (auto& c : counts) c += 13000;
  const std::vector<uint8_t> source = BytesWithCounts(counts, 5);
  ASSERT_GT(source.size(), size_t{3} << 20);
  testing::WriteAll(dir.File("plan.bmp"), source);
  CCompression packer(dir.File("plan.bmp"), dir.File("plan.bmpc"));
  ASSERT_TRUE(packer.Compress().ok);
  const std::vector<uint8_t> block = testing::ReadAll(dir.File("plan.bmpc"));
  EXPECT_TRUE(block == LiteralCompress(source));
  CCompression expander(dir.File("plan.bmpc"), dir.File("back.bmp"));
  const CompressionOutcome outcome = expander.Decompress();
  ASSERT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.count, source.size());
  EXPECT_TRUE(testing::ReadAll(dir.File("back.bmp")) == source);
}

}  // namespace
}  // namespace velkaro
