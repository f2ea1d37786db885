// The passes on real streams: positional reads and writes must leave the
// files and their positions exactly as sequential ones would; destinations
// that cannot be written by position (a pipe, a file opened for appending)
// and sources that cannot be read by position (a pipe) take the streaming
// passes; a source that changes between the two passes, and reads and writes
// that fail, are reported against the right file.
#include "compression/codec_passes.h"
#include "compression/compressed_block_format.h"
#include "tests/compression/compression_test_util.h"
#include "tests/support/literal_huffman.h"
#include "tests/support/temp_folder.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::LiteralCompress;
using testing::ReadAll;
using testing::TempFolder;
using testing::WriteAll;

// About `size` bytes of 40 values, each four as common as the next four.
std::vector<uint8_t> Source(size_t size) {
  std::vector<uint64_t> counts(256, 0);
  for (int s = 0; s < 40; ++s) counts[s * 5] = (size / 4) >> (1 + s / 4);
  return testing::BytesWithCounts(counts, 12);
}

CodecTuning Small() {
  CodecTuning t;
  t.block = 1000;
  t.stretch = 700;
  t.threads = 2;
  return t;
}

struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() { EXPECT_EQ(pipe(fd), 0); }
};

// Compressing into the middle of a file and expanding from there: the bytes
// around the block stay, and each stream is left just after the block.
TEST(StreamPositions, BlockBetweenOtherBytes) {
  TempFolder dir;
  const std::vector<uint8_t> source = Source(60000);
  WriteAll(dir.File("plan"), source);
  const std::vector<uint8_t> block = LiteralCompress(source);

  std::FILE* plan = std::fopen(dir.File("plan").c_str(), "rb");
  std::FILE* file = std::fopen(dir.File("site").c_str(), "w+b");
  ASSERT_TRUE(plan && file);
  ASSERT_EQ(std::fwrite("HEAD", 1, 4, file), 4u);
  CCompression packer(dir.File("plan"), dir.File("site"));
  FileInput in(plan);
  FileOutput out(file);
  ASSERT_TRUE(CompressWith(packer, in, out, Small()).ok);
  EXPECT_EQ(std::ftell(file), static_cast<long>(4 + block.size()));
  EXPECT_EQ(std::ftell(plan), static_cast<long>(source.size()));
  ASSERT_EQ(std::fwrite("TAIL", 1, 4, file), 4u);
  std::fclose(plan);

  ASSERT_EQ(std::fseek(file, 4, SEEK_SET), 0);
  std::FILE* back = std::fopen(dir.File("back").c_str(), "wb");
  CCompression expander(dir.File("site"), dir.File("back"));
  FileInput block_in(file);
  FileOutput back_out(back);
  const CompressionOutcome expanded = DecompressWith(expander, block_in, back_out, Small());
  EXPECT_TRUE(expanded.ok) << expanded.detail;
  EXPECT_EQ(std::ftell(file), static_cast<long>(4 + block.size()));
  std::fclose(file);
  std::fclose(back);

  std::vector<uint8_t> expected = {'H', 'E', 'A', 'D'};
  expected.insert(expected.end(), block.begin(), block.end());
  expected.insert(expected.end(), {'T', 'A', 'I', 'L'});
  EXPECT_TRUE(ReadAll(dir.File("site")) == expected);
  EXPECT_TRUE(ReadAll(dir.File("back")) == source);
}

TEST(StreamFallback, PipesOnEitherSide) {
  TempFolder dir;
  const std::vector<uint8_t> source = Source(90000);
  WriteAll(dir.File("plan"), source);
  const std::vector<uint8_t> block = LiteralCompress(source);

  Pipe to_reader;
  std::vector<uint8_t> piped;
  std::thread reader([&] { piped = ReadAll("/dev/fd/" + std::to_string(to_reader.fd[0])); });
  std::FILE* plan = std::fopen(dir.File("plan").c_str(), "rb");
  std::FILE* sink = fdopen(to_reader.fd[1], "wb");
  CCompression packer(dir.File("plan"), "pipe");
  EXPECT_TRUE(packer.CompressStream(plan, sink).ok);
  std::fclose(sink);
  std::fclose(plan);
  reader.join();
  close(to_reader.fd[0]);
  EXPECT_TRUE(piped == block);

  Pipe from_writer;
  std::thread writer([&] {
    EXPECT_EQ(write(from_writer.fd[1], block.data(), block.size()),
              static_cast<ssize_t>(block.size()));
    close(from_writer.fd[1]);
  });
  std::FILE* codes = fdopen(from_writer.fd[0], "rb");
  std::FILE* back = std::fopen(dir.File("back").c_str(), "wb");
  CCompression expander("pipe", dir.File("back"));
  EXPECT_TRUE(expander.DecompressStream(codes, back).ok);
  writer.join();
  std::fclose(codes);
  std::fclose(back);
  EXPECT_TRUE(ReadAll(dir.File("back")) == source);
}

// pwrite on a file opened for appending would land at its end in any order.
TEST(StreamFallback, AppendingDestinationGetsTheBlockAfterItsBytes) {
  TempFolder dir;
  const std::vector<uint8_t> source = Source(50000);
  WriteAll(dir.File("plan"), source);
  WriteAll(dir.File("log"), {1, 2, 3});
  std::FILE* plan = std::fopen(dir.File("plan").c_str(), "rb");
  std::FILE* log = std::fopen(dir.File("log").c_str(), "ab");
  CCompression packer(dir.File("plan"), dir.File("log"));
  FileInput in(plan);
  FileOutput out(log);
  EXPECT_TRUE(CompressWith(packer, in, out, Small()).ok);
  std::fclose(plan);
  std::fclose(log);
  std::vector<uint8_t> expected = {1, 2, 3};
  const std::vector<uint8_t> block = LiteralCompress(source);
  expected.insert(expected.end(), block.begin(), block.end());
  EXPECT_TRUE(ReadAll(dir.File("log")) == expected);
}

// A source read by position that changes after its first `stable` reads,
// or fails at the read given.
class ChangingInput final : public Input {
 public:
  ChangingInput(std::vector<uint8_t> first, std::vector<uint8_t> later, int stable,
                int fail_at = -1)
      : first_(std::move(first)), later_(std::move(later)), stable_(stable), fail_at_(fail_at) {}
  size_t Read(uint8_t*, size_t) override { return 0; }
  bool Rewind() override { return true; }
  std::optional<uint64_t> PositionalSize() const override { return first_.size(); }
  IoResult ReadAt(uint64_t offset, uint8_t* p, size_t n) const override {
    const int call = calls_++;
    if (call == fail_at_) return {0, EIO};
    return MemoryInput(call < stable_ ? first_ : later_).ReadAt(offset, p, n);
  }

 private:
  std::vector<uint8_t> first_, later_;
  int stable_, fail_at_;
  mutable std::atomic<int> calls_{0};
};

// Compresses `in`, named "plan", on one thread, so reads come in order.
CompressionOutcome CompressPlan(Input& in) {
  CCompression compression("plan", "block");
  std::vector<uint8_t> block;
  VectorOutput out(block);
  CodecTuning tuning = Small();
  tuning.threads = 1;
  return CompressWith(compression, in, out, tuning);
}

// Read in order on one thread: 5 blocks are counted, one byte is looked for
// past the end, 5 blocks are coded, and again one byte past the end.
TEST(ChangedSource, IsReportedNotCoded) {
  const std::vector<uint8_t> source = Source(5000);
  std::vector<uint8_t> other_byte = source;
  other_byte[4321] = 0xFE;  // counted 0 times: a longer code
  const std::vector<uint8_t> shorter(source.begin(), source.end() - 1);
  std::vector<uint8_t> longer = source;
  longer.push_back(7);
  const struct {
    const char* name;
    const std::vector<uint8_t>& later;
    int stable;
  } cases[] = {
      {"byte changed after counting", other_byte, 6}, {"shorter from the start", shorter, 0},
      {"shorter while counting", shorter, 3},         {"shorter after counting", shorter, 6},
      {"longer while counting", longer, 3},           {"longer after counting", longer, 6}};
  for (const auto& c : cases) {
    ChangingInput in(source, c.later, c.stable);
    const CompressionOutcome outcome = CompressPlan(in);
    EXPECT_FALSE(outcome.ok) << c.name;
    EXPECT_EQ(outcome.path, "plan") << c.name;
    EXPECT_STRNE(outcome.detail, "") << c.name;
  }
}

TEST(FailedIo, ReadsAndWritesNameTheirFile) {
  const std::vector<uint8_t> source = Source(5000);
  for (int fail_at : {0, 2, 7}) {
    ChangingInput in(source, source, 1000, fail_at);
    const CompressionOutcome outcome = CompressPlan(in);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.cause, FileErrorCause::kHardIO);
    EXPECT_EQ(outcome.path, "plan");
  }

  const std::vector<uint8_t> block = LiteralCompress(source);
  for (int fail_at : {0, 1, 3}) {
    CCompression c("block", "plan");
    ChangingInput in(block, block, 1000, fail_at);
    std::vector<uint8_t> header(block.begin(), block.begin() + block::kHeaderSize);
    MemoryInput header_in(header);
    BlockStart start;
    CompressionOutcome failure;
    ASSERT_TRUE(ReadBlockStart(c, header_in, start, failure));
    std::vector<uint8_t> back;
    VectorOutput out(back);
    const CompressionOutcome outcome = ExpandWith(c, start, in, out, Small());
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.path, "block");
  }

  // A destination that takes nothing by position.
  class FullDisk final : public Output {
   public:
    bool Write(const uint8_t*, size_t) override { return true; }
    bool BeginPositional() override { return true; }
    IoResult WriteAt(uint64_t, const uint8_t*, size_t) override { return {0, ENOSPC}; }
    bool EndPositional(uint64_t) override { return true; }
  };
  for (bool expand : {false, true}) {
    CCompression c("src", "dst");
    MemoryInput in(expand ? std::span<const uint8_t>(block) : std::span<const uint8_t>(source));
    FullDisk out;
    const CompressionOutcome outcome =
        expand ? DecompressWith(c, in, out, Small()) : CompressWith(c, in, out, Small());
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.cause, FileErrorCause::kDiskFull);
    EXPECT_EQ(outcome.path, "dst");
  }
}

}  // namespace
}  // namespace velkaro
