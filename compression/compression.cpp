#include "compression/compression.h"

#include "compression/byte_counts.h"
#include "compression/byte_stream.h"
#include "compression/compressed_block_format.h"
#include "compression/huffman_codec.h"
#include "platform/atomic_file.h"
#include "platform/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace velkaro {
namespace {

CompressionOutcome Failure(int error, const std::string& path, const char* detail = "") {
  CompressionOutcome outcome;
  outcome.cause = error ? FileErrorCauseFromErrno(error) : FileErrorCause::kGeneric;
  if (outcome.cause == FileErrorCause::kNone) outcome.cause = FileErrorCause::kGeneric;
  outcome.path = path;
  outcome.detail = detail;
  return outcome;
}

CompressionOutcome Truncated(const std::string& path, uint64_t written, const char* detail) {
  CompressionOutcome outcome;
  outcome.cause = FileErrorCause::kEndOfFile;
  outcome.path = path;
  outcome.count = written;
  outcome.detail = detail;
  return outcome;
}

constexpr const char* kTooLarge = "the file is 4 GiB or larger";
constexpr const char* kChanged = "the file changed while it was being compressed";
constexpr const char* kShortHeader = "the file is shorter than the 1032-byte start of a block";
constexpr const char* kShortCodes = "the codes end before the block's length is reached";
constexpr const char* kSameFile = "source and destination are the same file";

bool SameFile(std::FILE* a, std::FILE* b) {
  struct stat sa, sb;
  return fstat(fileno(a), &sa) == 0 && fstat(fileno(b), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool SamePath(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

CompressionOutcome RunCompress(CCompression& self, Input& in, Output& out) {
  uint64_t counts[256];
  uint64_t length = 0;
  if (!CountBytes(in, counts, length)) return Failure(in.error, self.m_strSource);
  if (length > block::kMaxSourceLength) return Failure(0, self.m_strSource, kTooLarge);

  for (int s = 0; s < 256; ++s) self.m_weights[s] = static_cast<uint32_t>(counts[s]);
  self.m_root = BuildHuffmanTree(self.m_weights, self.m_active, self.m_nodes);
  auto codes = std::make_unique<HuffmanCode[]>(256);
  HuffmanCode(&code_table)[256] = *reinterpret_cast<HuffmanCode(*)[256]>(codes.get());
  ComputeCodes(self.m_nodes, self.m_root, code_table);

  // N is known before coding: the header goes out first and nothing has to
  // be patched, so the destination may be any stream.
  uint64_t bits = 0;
  for (int s = 0; s < 256; ++s) bits += counts[s] * code_table[s].length;
  const uint64_t code_bytes = (bits + 7) / 8;
  if (code_bytes > block::kMaxSourceLength) return Failure(0, self.m_strSource, kTooLarge);

  uint8_t header[block::kHeaderSize];
  StoreLe32(header + block::kCodeCountOffset, static_cast<uint32_t>(code_bytes));
  StoreLe32(header + block::kSourceLengthOffset, static_cast<uint32_t>(length));
  for (size_t s = 0; s < block::kSymbolCount; ++s)
    StoreLe32(header + block::kTableOffset + 4 * s, self.m_weights[s]);
  if (!out.Write(header, sizeof header)) return Failure(out.error, self.m_strDest);
  if (!in.Rewind()) return Failure(in.error, self.m_strSource);

  HuffmanEncoder encoder(code_table, counts);
  std::vector<uint8_t> src(std::min<uint64_t>(kIoBlock, length + 1));
  std::vector<uint8_t> dst(std::min<uint64_t>(kIoBlock, code_bytes + 8) + 2 * encoder.Reserve());
  uint64_t read = 0;
  uint64_t written = 0;
  size_t fill = 0;
  for (;;) {
    const size_t got = in.Read(src.data(), src.size());
    if (in.error) return Failure(in.error, self.m_strSource);
    read += got;
    if (read > length) return Failure(0, self.m_strSource, kChanged);
    const uint8_t* p = src.data();
    const uint8_t* const end = p + got;
    while (p < end) {
      fill += encoder.Encode(p, end, dst.data() + fill, dst.data() + dst.size());
      if (dst.size() - fill < encoder.Reserve() + 8) {
        if (!out.Write(dst.data(), fill)) return Failure(out.error, self.m_strDest);
        written += fill;
        fill = 0;
      }
    }
    if (got < src.size()) break;
  }
  fill += encoder.Finish(dst.data() + fill);
  if (!out.Write(dst.data(), fill)) return Failure(out.error, self.m_strDest);
  written += fill;
  if (read != length || written != code_bytes) return Failure(0, self.m_strSource, kChanged);

  CompressionOutcome outcome;
  outcome.ok = true;
  outcome.count = code_bytes;
  return outcome;
}

struct BlockStart {
  uint32_t code_bytes = 0;
  uint32_t length = 0;
};

bool ReadBlockStart(CCompression& self, Input& in, BlockStart& start, CompressionOutcome& failure) {
  uint8_t header[block::kHeaderSize];
  const size_t got = in.Read(header, sizeof header);
  if (in.error) {
    failure = Failure(in.error, self.m_strSource);
    return false;
  }
  if (got < sizeof header) {
    failure = Truncated(self.m_strSource, 0, kShortHeader);
    return false;
  }
  start.code_bytes = LoadLe32(header + block::kCodeCountOffset);
  start.length = LoadLe32(header + block::kSourceLengthOffset);
  for (int i = 0; i < 513; ++i) self.m_weights[i] = 0;
  for (size_t s = 0; s < block::kSymbolCount; ++s)
    self.m_weights[s] = LoadLe32(header + block::kTableOffset + 4 * s);
  return true;
}

CompressionOutcome RunExpand(CCompression& self, const BlockStart& start, Input& in, Output& out) {
  self.m_root = BuildHuffmanTree(self.m_weights, self.m_active, self.m_nodes);
  auto decoder = std::make_unique<HuffmanDecoder>(self.m_nodes, self.m_root);

  const size_t out_block = static_cast<size_t>(std::min<uint64_t>(kIoBlock, start.length));
  std::vector<uint8_t> src(std::min<uint64_t>({kIoBlock, start.code_bytes, in.BufferSize()}));
  std::vector<uint8_t> dst(out_block + HuffmanDecoder::kOutputSlack);
  uint64_t codes_left = start.code_bytes;
  size_t in_pos = 0;
  size_t in_len = 0;
  bool input_done = codes_left == 0;
  uint64_t emitted = 0;
  size_t fill = 0;
  while (emitted < start.length) {
    if (in_pos == in_len && !input_done) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(src.size(), codes_left));
      in_len = in.Read(src.data(), want);
      if (in.error) return Failure(in.error, self.m_strSource);
      in_pos = 0;
      codes_left -= in_len;
      input_done = in_len < want || codes_left == 0;
    }
    const size_t room =
        static_cast<size_t>(std::min<uint64_t>(out_block - fill, start.length - emitted));
    const uint8_t* p = src.data() + in_pos;
    const size_t produced =
        decoder->Decode(p, src.data() + in_len, dst.data() + fill, dst.data() + fill + room);
    in_pos = static_cast<size_t>(p - src.data());
    fill += produced;
    emitted += produced;
    if (fill == out_block) {
      if (!out.Write(dst.data(), fill)) return Failure(out.error, self.m_strDest);
      fill = 0;
    }
    if (produced == 0 && in_pos == in_len && input_done) break;
  }
  if (!out.Write(dst.data(), fill)) return Failure(out.error, self.m_strDest);
  if (emitted < start.length) return Truncated(self.m_strSource, emitted, kShortCodes);

  CompressionOutcome outcome;
  outcome.ok = true;
  outcome.count = emitted;
  return outcome;
}

}  // namespace

CCompression::CCompression(std::string source, std::string dest)
    : m_strSource(std::move(source)),
      m_strDest(std::move(dest)),
      m_weights{},
      m_active{},
      m_root(-1) {}

CCompression::~CCompression() = default;

namespace {

// The destination is written all or nothing, in a temporary file renamed
// over it when complete: a failed or killed run leaves it as it was. Writing
// onto the source itself is refused. Returns the failure, or nothing with
// `dest` open.
std::optional<CompressionOutcome> OpenDestination(const std::string& source_path,
                                                  const std::string& dest_path, AtomicFile& dest) {
  if (SamePath(source_path, dest_path)) return Failure(0, dest_path, kSameFile);
  if (const FileErrorCause cause = dest.Open(); cause != FileErrorCause::kNone) {
    CompressionOutcome outcome;
    outcome.cause = cause;
    outcome.path = dest_path;
    return outcome;
  }
  if (dest.Stream() == nullptr) return Failure(errno, dest_path);
  return std::nullopt;
}

// Puts a complete destination in place; the source closes either way.
CompressionOutcome Finish(std::FILE* source, AtomicFile& dest, CompressionOutcome outcome) {
  std::fclose(source);
  if (!outcome.ok) return outcome;
  if (const FileErrorCause cause = dest.Commit(); cause != FileErrorCause::kNone) {
    const uint64_t count = outcome.count;
    outcome = CompressionOutcome{};
    outcome.cause = cause;
    outcome.path = dest.target();
    outcome.count = count;
  }
  return outcome;
}

std::FILE* OpenSource(const std::string& path, CompressionOutcome& failure) {
  int error = 0;
  std::FILE* source = OpenRegularStream(path, &error);
  if (source == nullptr) failure = Failure(error, path);
  return source;
}

}  // namespace

CompressionOutcome CCompression::Compress() {
  CompressionOutcome failure;
  std::FILE* source = OpenSource(m_strSource, failure);
  if (!source) return failure;
  struct stat st;
  if (fstat(fileno(source), &st) == 0 &&
      static_cast<uint64_t>(st.st_size) > block::kMaxSourceLength) {
    std::fclose(source);
    return Failure(0, m_strSource, kTooLarge);
  }
  AtomicFile dest(m_strDest);
  if (auto failed = OpenDestination(m_strSource, m_strDest, dest)) {
    std::fclose(source);
    return *failed;
  }
  return Finish(source, dest, CompressStream(source, dest.Stream()));
}

CompressionOutcome CCompression::Decompress() {
  CompressionOutcome failure;
  std::FILE* source = OpenSource(m_strSource, failure);
  if (!source) return failure;
  FileInput in(source);
  BlockStart start;
  if (!ReadBlockStart(*this, in, start, failure)) {
    std::fclose(source);
    return failure;
  }
  AtomicFile dest(m_strDest);
  if (auto failed = OpenDestination(m_strSource, m_strDest, dest)) {
    std::fclose(source);
    return *failed;
  }
  FileOutput out(dest.Stream());
  return Finish(source, dest, RunExpand(*this, start, in, out));
}

CompressionOutcome CCompression::CompressStream(std::FILE* source, std::FILE* dest) {
  if (SameFile(source, dest)) return Failure(0, m_strDest, kSameFile);
  FileInput in(source);
  FileOutput out(dest);
  CompressionOutcome outcome = RunCompress(*this, in, out);
  if (outcome.ok && std::fflush(dest) != 0) outcome = Failure(errno, m_strDest);
  return outcome;
}

CompressionOutcome CCompression::DecompressStream(std::FILE* source, std::FILE* dest) {
  if (SameFile(source, dest)) return Failure(0, m_strDest, kSameFile);
  FileInput in(source);
  FileOutput out(dest);
  BlockStart start;
  CompressionOutcome failure;
  if (!ReadBlockStart(*this, in, start, failure)) return failure;
  CompressionOutcome outcome = RunExpand(*this, start, in, out);
  if (outcome.ok && std::fflush(dest) != 0) outcome = Failure(errno, m_strDest);
  return outcome;
}

CompressionOutcome CCompression::CompressBytes(std::span<const uint8_t> source,
                                               std::vector<uint8_t>& block) {
  MemoryInput in(source);
  VectorOutput out(block);
  return RunCompress(*this, in, out);
}

CompressionOutcome CCompression::DecompressBytes(std::span<const uint8_t> block,
                                                 std::vector<uint8_t>& out) {
  MemoryInput in(block);
  VectorOutput sink(out);
  BlockStart start;
  CompressionOutcome failure;
  if (!ReadBlockStart(*this, in, start, failure)) return failure;
  return RunExpand(*this, start, in, sink);
}

}  // namespace velkaro
