#include "compression/compression.h"

#include "compression/byte_stream.h"
#include "compression/codec_outcome.h"
#include "compression/codec_passes.h"
#include "compression/compressed_block_format.h"
#include "platform/atomic_file.h"
#include "platform/regular_file.h"

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

// `synced_after`: `dest` is synced once whole (see FileOutput). `copy`, if
// any, gets the block too; when it fails, its `error` says so.
CompressionOutcome CompressFiles(CCompression& self, std::FILE* source, std::FILE* dest,
                                 const CodecTuning& tuning, bool synced_after,
                                 Output* copy = nullptr) {
  if (SameFile(source, dest)) return Failure(0, self.m_strDest, kSameFile);
  FileInput in(source);
  FileOutput file(dest, synced_after);
  std::optional<TeeOutput> tee;
  if (copy) tee.emplace(file, *copy);
  Output& out = tee ? static_cast<Output&>(*tee) : file;
  CompressionOutcome outcome = CompressWith(self, in, out, tuning);
  // A failed copy has failed the run too.
  if (tee && tee->copy_error()) copy->error = tee->copy_error();
  if (outcome.ok && std::fflush(dest) != 0) outcome = Failure(errno, self.m_strDest);
  return outcome;
}

// Sources are read only when they are regular files.
std::FILE* OpenSource(const std::string& path, CompressionOutcome& failure) {
  int error = 0;
  std::FILE* source = OpenRegularStream(path, &error);
  if (source == nullptr) failure = Failure(error, path);
  return source;
}

}  // namespace

CompressionOutcome CompressFileWith(CCompression& self, const CodecTuning& tuning, Output* copy) {
  CompressionOutcome failure;
  std::FILE* source = OpenSource(self.m_strSource, failure);
  if (!source) return failure;
  struct stat st;
  if (fstat(fileno(source), &st) == 0 &&
      static_cast<uint64_t>(st.st_size) > block::kMaxSourceLength) {
    std::fclose(source);
    return Failure(0, self.m_strSource, kTooLarge);
  }
  AtomicFile dest(self.m_strDest);
  if (auto failed = OpenDestination(self.m_strSource, self.m_strDest, dest)) {
    std::fclose(source);
    return *failed;
  }
  return Finish(source, dest,
                CompressFiles(self, source, dest.Stream(), tuning, /*synced_after=*/true, copy));
}

CompressionOutcome DecompressFileWith(CCompression& self, const CodecTuning& tuning) {
  CompressionOutcome failure;
  std::FILE* source = OpenSource(self.m_strSource, failure);
  if (!source) return failure;
  FileInput in(source);
  BlockStart start;
  if (!ReadBlockStart(self, in, start, failure)) {
    std::fclose(source);
    return failure;
  }
  AtomicFile dest(self.m_strDest);
  if (auto failed = OpenDestination(self.m_strSource, self.m_strDest, dest)) {
    std::fclose(source);
    return *failed;
  }
  FileOutput out(dest.Stream(), /*synced_after=*/true);
  return Finish(source, dest, ExpandWith(self, start, in, out, tuning));
}

CompressionOutcome CompressStreamWith(CCompression& self, std::FILE* source, std::FILE* dest,
                                      const CodecTuning& tuning) {
  return CompressFiles(self, source, dest, tuning, /*synced_after=*/false);
}

CompressionOutcome CCompression::Compress() { return CompressFileWith(*this, CodecTuning{}); }

CompressionOutcome CCompression::Compress(Output& copy) {
  return CompressFileWith(*this, CodecTuning{}, &copy);
}

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

CompressionOutcome CCompression::DecompressStream(std::FILE* source, std::FILE* dest,
                                                  const WrittenBytes& watch) {
  if (SameFile(source, dest)) return Failure(0, m_strDest, kSameFile);
  FileInput in(source);
  FileOutput file(dest);
  WatchedOutput out(file, watch);
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
