// The documented blocks byte for byte, malformed blocks, and the failures a
// caller must be told about.
#include "compression/compressed_block_format.h"
#include "compression/compression.h"
#include "tests/support/literal_huffman.h"
#include "tests/support/temp_folder.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::LiteralDecompress;
using testing::ReadAll;
using testing::TempFolder;
using testing::WriteAll;

uint32_t At32(const std::vector<uint8_t>& b, size_t at) { return LoadLe32(b.data() + at); }

struct Example {
  const char* name;
  std::vector<uint8_t> source;
  uint32_t n;
  std::vector<uint8_t> codes;
};

class DocumentedBlock : public ::testing::TestWithParam<Example> {};

// Through the file entry points, as the projection file uses them.
TEST_P(DocumentedBlock, IsExactAndExpandsBack) {
  const Example& ex = GetParam();
  TempFolder dir;
  WriteAll(dir.File("plan.bmp"), ex.source);
  CCompression packer(dir.File("plan.bmp"), dir.File("plan.bmpc"));
  const CompressionOutcome packed = packer.Compress();
  ASSERT_TRUE(packed.ok) << packed.detail;
  EXPECT_EQ(packed.count, ex.n);
  EXPECT_EQ(packer.m_root, 510);

  const std::vector<uint8_t> block = ReadAll(dir.File("plan.bmpc"));
  ASSERT_EQ(block.size(), 1032 + ex.n);
  EXPECT_EQ(At32(block, 0), ex.n);
  EXPECT_EQ(At32(block, 4), ex.source.size());
  for (int s = 0; s < 256; ++s) {
    const auto expected = std::count(ex.source.begin(), ex.source.end(), s);
    EXPECT_EQ(At32(block, 8 + 4 * s), static_cast<uint32_t>(expected)) << "count of " << s;
  }
  EXPECT_EQ(std::vector<uint8_t>(block.begin() + 1032, block.end()), ex.codes);

  CCompression expander(dir.File("plan.bmpc"), dir.File("out.bmp"));
  const CompressionOutcome expanded = expander.Decompress();
  ASSERT_TRUE(expanded.ok) << expanded.detail;
  EXPECT_EQ(expanded.count, ex.source.size());
  EXPECT_EQ(ReadAll(dir.File("out.bmp")), ex.source);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, DocumentedBlock,
    ::testing::Values(Example{"abc", {0x61, 0x62, 0x63}, 1, {0x34}},
                      // One bit per byte: the code byte holds eight, L stops at four.
                      Example{"aaaa", {0x61, 0x61, 0x61, 0x61}, 1, {0x00}},
                      Example{"empty", {}, 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

std::vector<uint8_t> Block(uint32_t n, uint32_t l, const std::vector<uint32_t>& counts,
                           const std::vector<uint8_t>& codes) {
  std::vector<uint8_t> b(1032);
  StoreLe32(b.data(), n);
  StoreLe32(b.data() + 4, l);
  for (size_t s = 0; s < counts.size(); ++s) StoreLe32(b.data() + 8 + 4 * s, counts[s]);
  b.insert(b.end(), codes.begin(), codes.end());
  return b;
}

struct Malformed {
  const char* name;
  std::vector<uint8_t> block;
};

class MalformedBlock : public ::testing::TestWithParam<Malformed> {};

// Whatever the block says, the expander stays within it, emits what the
// plain tree walk emits, and says whether that was all L bytes.
TEST_P(MalformedBlock, DecodesWhatTheWalkDecodesAndReportsShortfall) {
  const Malformed& m = GetParam();
  CCompression c("block", "out");
  std::vector<uint8_t> out;
  const CompressionOutcome outcome = c.DecompressBytes(m.block, out);
  const auto expected = LiteralDecompress(m.block);
  const bool complete = expected && expected->size() == At32(m.block, 4);
  EXPECT_EQ(outcome.ok, complete);
  if (!outcome.ok) {
    EXPECT_EQ(outcome.cause, FileErrorCause::kEndOfFile);
    EXPECT_EQ(outcome.path, "block");
  }
  if (!expected) {
    EXPECT_TRUE(out.empty());
    return;
  }
  EXPECT_EQ(out, *expected);
  EXPECT_EQ(outcome.count, out.size());
  EXPECT_LE(out.size(), 8 * (m.block.size() - 1032));
}

std::vector<uint32_t> Wrapping() {
  std::vector<uint32_t> counts(256, 0xFFFFFFFFu);
  counts[0] = counts[1] = 200;  // a 255-deep chain once the sums wrap
  return counts;
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, MalformedBlock,
    ::testing::Values(
        Malformed{"empty_file", {}},
        Malformed{"one_byte_short_of_the_table", std::vector<uint8_t>(1031, 0)},
        Malformed{"n_past_the_end", Block(1000, 3, {}, {0xAB})},
        Malformed{"codes_run_out", Block(1, 9, {}, {0xAB})},
        Malformed{"huge_length_few_codes", Block(2, 0xFFFFFFFFu, {}, {0x00, 0xFF})},
        Malformed{"zero_length_with_codes", Block(3, 0, {1, 2, 3}, {1, 2, 3})},
        Malformed{"counts_that_overflow",
                  Block(4, 5, std::vector<uint32_t>(256, 0x80000001u), {0x12, 0x34, 0x56, 0x78})},
        // Bit 0 at the root of the chain is a leaf; 255 ones reach its bottom.
        Malformed{"deepest_tree_zeros", Block(40, 300, Wrapping(), std::vector<uint8_t>(40, 0))},
        Malformed{"deepest_tree_two_long_codes",
                  Block(64, 2, Wrapping(), std::vector<uint8_t>(64, 0xFF))},
        Malformed{"deepest_tree_third_code_cut_off",
                  Block(64, 3, Wrapping(), std::vector<uint8_t>(64, 0xFF))}),
    [](const auto& info) { return std::string(info.param.name); });

// A missing source (either way) or a destination in a missing folder: the
// file at fault is named and nothing is created.
TEST(CompressionFailure, AMissingFileIsNamedAndNothingCreated) {
  TempFolder dir;
  WriteAll(dir.File("src"), {1, 2, 3});
  for (const auto& [from, to, expand] : {std::tuple{"absent", "out", false},
                                         {"absent", "out", true},
                                         {"src", "no/such/folder/out", false}}) {
    CCompression c(dir.File(from), dir.File(to));
    const CompressionOutcome outcome = expand ? c.Decompress() : c.Compress();
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.cause, FileErrorCause::kFileNotFound);
    EXPECT_EQ(outcome.path, dir.File(std::string(from) == "absent" ? from : to));
    EXPECT_FALSE(std::filesystem::exists(dir.File("out")));
  }
}

TEST(CompressionFailure, SameFileIsRefusedAndKept) {
  TempFolder dir;
  const std::vector<uint8_t> bytes = {9, 8, 7, 6};
  WriteAll(dir.File("plan"), bytes);
  CCompression c(dir.File("plan"), dir.File("plan"));
  EXPECT_FALSE(c.Compress().ok);
  EXPECT_FALSE(c.Decompress().ok);
  EXPECT_EQ(ReadAll(dir.File("plan")), bytes);
}

TEST(CompressionFailure, ShortBlockFileLeavesDestinationAlone) {
  TempFolder dir;
  WriteAll(dir.File("block"), std::vector<uint8_t>(100, 0));
  WriteAll(dir.File("out"), {42});
  CCompression c(dir.File("block"), dir.File("out"));
  const CompressionOutcome outcome = c.Decompress();
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.cause, FileErrorCause::kEndOfFile);
  EXPECT_EQ(ReadAll(dir.File("out")), std::vector<uint8_t>{42});
}

// L is 32 bits: a 4 GiB source cannot be described and is refused up front
// (the file is sparse, so this costs no disk and no reading).
TEST(CompressionFailure, SourceOfFourGibIsRefused) {
  TempFolder dir;
  std::FILE* f = std::fopen(dir.File("huge").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(ftruncate(fileno(f), off_t{1} << 32), 0);
  std::fclose(f);
  CCompression c(dir.File("huge"), dir.File("out"));
  const CompressionOutcome outcome = c.Compress();
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.path, dir.File("huge"));
  EXPECT_STRNE(outcome.detail, "");
  EXPECT_FALSE(std::filesystem::exists(dir.File("out")));
}

}  // namespace
}  // namespace velkaro
