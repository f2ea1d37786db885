#include "compression/compression.h"

#include "compression/byte_stream.h"
#include "compression/codec_outcome.h"
#include "compression/codec_passes.h"
#include "compression/compressed_block_format.h"

#include <cerrno>
#include <optional>
#include <sys/stat.h>

namespace velkaro {
namespace {

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

}  // namespace

CCompression::CCompression(std::string source, std::string dest)
    : m_strSource(std::move(source)),
      m_strDest(std::move(dest)),
      m_weights{},
      m_active{},
      m_root(-1) {}

CCompression::~CCompression() = default;

namespace {

// Creating the destination truncates it: never when it is the source. Returns
// the failure, or nothing with `dest` open for writing.
std::optional<CompressionOutcome> CreateDestination(const std::string& source_path,
                                                    const std::string& dest_path,
                                                    std::FILE*& dest) {
  if (SamePath(source_path, dest_path)) return Failure(0, dest_path, kSameFile);
  dest = std::fopen(dest_path.c_str(), "wb");
  if (!dest) return Failure(errno, dest_path);
  return std::nullopt;
}

// Closes both files; a destination that fails to close turns a success into
// a failure, since its last bytes may not have been written.
CompressionOutcome CloseBoth(std::FILE* source, std::FILE* dest, const std::string& dest_path,
                             CompressionOutcome outcome) {
  std::fclose(source);
  if (std::fclose(dest) != 0 && outcome.ok) outcome = Failure(errno, dest_path);
  return outcome;
}

}  // namespace

CompressionOutcome CompressFileWith(CCompression& self, const CodecTuning& tuning) {
  std::FILE* source = std::fopen(self.m_strSource.c_str(), "rb");
  if (!source) return Failure(errno, self.m_strSource);
  struct stat st;
  if (fstat(fileno(source), &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<uint64_t>(st.st_size) > block::kMaxSourceLength) {
    std::fclose(source);
    return Failure(0, self.m_strSource, kTooLarge);
  }
  std::FILE* dest = nullptr;
  if (auto failure = CreateDestination(self.m_strSource, self.m_strDest, dest)) {
    std::fclose(source);
    return *failure;
  }
  return CloseBoth(source, dest, self.m_strDest, CompressStreamWith(self, source, dest, tuning));
}

CompressionOutcome DecompressFileWith(CCompression& self, const CodecTuning& tuning) {
  std::FILE* source = std::fopen(self.m_strSource.c_str(), "rb");
  if (!source) return Failure(errno, self.m_strSource);
  FileInput in(source);
  BlockStart start;
  CompressionOutcome failure;
  if (!ReadBlockStart(self, in, start, failure)) {
    std::fclose(source);
    return failure;
  }
  std::FILE* dest = nullptr;
  if (auto failure = CreateDestination(self.m_strSource, self.m_strDest, dest)) {
    std::fclose(source);
    return *failure;
  }
  FileOutput out(dest);
  return CloseBoth(source, dest, self.m_strDest, ExpandWith(self, start, in, out, tuning));
}

CompressionOutcome CompressStreamWith(CCompression& self, std::FILE* source, std::FILE* dest,
                                      const CodecTuning& tuning) {
  if (SameFile(source, dest)) return Failure(0, self.m_strDest, kSameFile);
  FileInput in(source);
  FileOutput out(dest);
  CompressionOutcome outcome = CompressWith(self, in, out, tuning);
  if (outcome.ok && std::fflush(dest) != 0) outcome = Failure(errno, self.m_strDest);
  return outcome;
}

CompressionOutcome CCompression::Compress() { return CompressFileWith(*this, CodecTuning{}); }

CompressionOutcome CCompression::Decompress() { return DecompressFileWith(*this, CodecTuning{}); }

CompressionOutcome CCompression::CompressStream(std::FILE* source, std::FILE* dest) {
  return CompressStreamWith(*this, source, dest, CodecTuning{});
}

CompressionOutcome CCompression::DecompressStream(std::FILE* source, std::FILE* dest) {
  if (SameFile(source, dest)) return Failure(0, m_strDest, kSameFile);
  FileInput in(source);
  FileOutput out(dest);
  CompressionOutcome outcome = DecompressWith(*this, in, out, CodecTuning{});
  if (outcome.ok && std::fflush(dest) != 0) outcome = Failure(errno, m_strDest);
  return outcome;
}

CompressionOutcome CCompression::CompressBytes(std::span<const uint8_t> source,
                                               std::vector<uint8_t>& block) {
  MemoryInput in(source);
  VectorOutput out(block);
  return CompressWith(*this, in, out, CodecTuning{});
}

CompressionOutcome CCompression::DecompressBytes(std::span<const uint8_t> block,
                                                 std::vector<uint8_t>& out) {
  MemoryInput in(block);
  VectorOutput sink(out);
  return DecompressWith(*this, in, sink, CodecTuning{});
}

}  // namespace velkaro
