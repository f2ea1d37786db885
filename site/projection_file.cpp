// Writing and reading projection files. Every file is written all or
// nothing (platform/atomic_file.h): the projection file is built in a
// temporary file beside it and renamed over it once complete, so a save that
// fails, is killed or fills the disk leaves the old file byte for byte; a
// saved file is exactly header and block. Saving starts the projection file
// and writes the compressed plan into it and into its side file at once.
// Loading reads only regular files; a file too short for its own block is
// refused before any side file is written, and a block that does not expand
// whole leaves both side files as they were.
#include "compression/compression.h"
#include "platform/atomic_file.h"
#include "platform/byte_order.h"
#include "platform/memory.h"
#include "platform/path_names.h"
#include "platform/regular_file.h"
#include "site/side_files.h"
#include "site/site_projection.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <unistd.h>
#include <vector>
#include <xxhash.h>

namespace velkaro {
namespace {

constexpr size_t kCopyChunk = 64 * 1024;

// Copies `length` bytes from the current position of `from` to the current
// position of `to` (or only reads them, for a null `to`), hashing them into
// `hash`. On failure `failed` names the file that failed.
FileErrorCause CopyBytes(PosixFile& from, const std::string& from_path, AtomicFile* to,
                         uint64_t length, std::string& failed, XXH64_state_t* hash) {
  std::vector<uint8_t> chunk(kCopyChunk);
  while (length > 0) {
    const size_t step = length < kCopyChunk ? static_cast<size_t>(length) : kCopyChunk;
    if (FileErrorCause cause = from.ReadExactly(chunk.data(), step);
        cause != FileErrorCause::kNone) {
      failed = from_path;
      return cause;
    }
    if (FileErrorCause cause = to ? to->Write(chunk.data(), step) : FileErrorCause::kNone;
        cause != FileErrorCause::kNone) {
      failed = to->target();
      return cause;
    }
    XXH64_update(hash, chunk.data(), step);
    length -= step;
  }
  return FileErrorCause::kNone;
}

struct HashState {
  HashState() : state(XXH64_createState()) { XXH64_reset(state, 0); }
  ~HashState() { XXH64_freeState(state); }
  HashState(const HashState&) = delete;
  HashState& operator=(const HashState&) = delete;
  XXH64_state_t* state;
};

std::array<uint8_t, kChecksumTrailerSize> ChecksumTrailer(uint64_t digest) {
  std::array<uint8_t, kChecksumTrailerSize> trailer{};
  std::copy(std::begin(kChecksumMagic), std::end(kChecksumMagic), trailer.begin());
  StoreLe32(trailer.data() + 4, kChecksumVersion);
  StoreLe32(trailer.data() + 8, static_cast<uint32_t>(digest));
  StoreLe32(trailer.data() + 12, static_cast<uint32_t>(digest >> 32));
  return trailer;
}

// The projection file's header and block read from `file` at `path` and
// copied to `block` (null: only read), with the checksum they were saved
// with, if any, checked.
Status CopyBlock(PosixFile& file, const std::string& path, AtomicFile* block,
                 uint64_t block_length) {
  std::string failed = path;
  uint8_t header[kProjectionHeaderSize];
  HashState hash;
  FileErrorCause cause = file.Seek(0);
  if (cause == FileErrorCause::kNone) cause = file.ReadExactly(header, sizeof header);
  XXH64_update(hash.state, header, sizeof header);
  if (cause == FileErrorCause::kNone)
    cause = CopyBytes(file, path, block, block_length, failed, hash.state);
  if (cause != FileErrorCause::kNone) return Status::FileError(cause, failed);
  // A file saved with a checksum must match it: a flipped bit in the block
  // would otherwise open as a plan with some pixels silently wrong.
  uint64_t size = 0;
  uint8_t tail[kChecksumTrailerSize];
  if (file.Size(size) == FileErrorCause::kNone &&
      size == kProjectionBlockOffset + block_length + kChecksumTrailerSize &&
      file.ReadExactly(tail, sizeof tail) == FileErrorCause::kNone &&
      std::equal(std::begin(kChecksumMagic), std::end(kChecksumMagic), tail) &&
      LoadLe32(tail + 4) == kChecksumVersion) {
    const uint64_t saved = uint64_t{LoadLe32(tail + 8)} | uint64_t{LoadLe32(tail + 12)} << 32;
    if (saved != XXH64_digest(hash.state))
      return Status::Invalid(CSiteProjection::DamagedText(path), path);
  }
  return Status::Ok();
}

}  // namespace

SiteOutcome CSiteProjection::Save(const std::string& path) {
  if (m_taps.size() < static_cast<size_t>(kMinTapsToSave))
    return SiteOutcome::Failed(Status::Invalid("Take at least 5 points."));
  Solve();
  if (!Validate()) {
    return SiteOutcome::Failed(Status::Invalid(
        "Points do not generate valid geocode. Take more varied points and resave."));
  }
  m_strPath = path;
  // Two saves to one file, from two windows, go one after the other, so the
  // file and the points beside it always come from the same save.
  PathLock saving;
  saving.Acquire(SavingLockName(path), /*wait=*/true);
  // Once the plan's block is being made, a file that fails sounds the alarm;
  // only a projection file that cannot be started is reported without it.
  constexpr bool kAlarm = true;
  SiteOutcome outcome;
  const std::string block_path = SideFilePath(m_strPlanPath, SideFile::kBlock);
  bool started = true;
  if (Status status = WriteFileAndBlock(block_path, &started); !status.ok()) {
    // A plan on read-only media keeps its block beside the projection file
    // instead; when that fails too, the block beside the plan is named.
    const std::string beside = SideFilePath(m_strPath, SideFile::kBlock);
    if (status.cause() != FileErrorCause::kAccessDenied || status.path() != block_path ||
        !FolderRefusesFiles(block_path) || !WriteFileAndBlock(beside).ok())
      return SiteOutcome::Failed(std::move(status), started ? kAlarm : !kAlarm);
    outcome.Note("The compressed plan is kept beside the projection file, in " + beside +
                 ": the plan's folder takes no files.");
  }
  // The points go beside the saved file too, for the georeferencer and for
  // the next time this file is opened.
  outcome.Append(KeepPoints(SideFilePath(m_strPath, SideFile::kPoints)));
  return outcome;
}

Status CSiteProjection::OpenFile(AtomicFile& out) {
  if (FileErrorCause cause = out.Open(); cause != FileErrorCause::kNone)
    return Status::FileError(cause, m_strPath);
  return Status::Ok();
}

Status CSiteProjection::WriteHeader(AtomicFile& out) {
  StoreLe32(m_header + kProjectionLengthOffset, kProjectionHeaderSize);
  for (int i = 0; i < 4; ++i) m_header[kProjectionMagicOffset + i] = kProjectionMagic[i];
  m_header[kProjectionFormatOffset] = kProjectionFormat;
  StoreLe32(m_header + kProjectionFormatOffset + 1, 0);
  StoreLe32(m_header + kProjectionMatrixOffset + kProjectionMatrixSize, 0);
  if (FileErrorCause cause = out.Write(m_header, kProjectionHeaderSize);
      cause != FileErrorCause::kNone)
    return Status::FileError(cause, m_strPath);
  return Status::Ok();
}

// The block goes to its side file and into the projection file at once, as
// it is made: the disk takes both while the plan is still being coded. The
// checksum is then taken of what the projection file holds.
Status CSiteProjection::WriteFileAndBlock(const std::string& block_path, bool* started) {
  // Saving onto the plan's own side file would replace the block with the
  // file that holds it: refused, as it always was.
  if (block_path == m_strPath || IsSameFile(block_path, m_strPath))
    return Status::FileError(FileErrorCause::kSharingViolation, m_strPath);
  AtomicFile out(m_strPath);
  if (Status status = OpenFile(out); !status.ok()) {
    if (started) *started = false;
    return status;
  }
  if (Status status = WriteHeader(out); !status.ok()) return status;
  std::FILE* const stream = out.Stream();
  if (stream == nullptr) return Status::FromErrno(errno ? errno : EIO, m_strPath);
  FileOutput copy(stream, /*synced_after=*/true);
  CCompression compression(m_strPlanPath, block_path);
  const CompressionOutcome made = compression.Compress(copy);
  if (!made.ok)
    return copy.error ? Status::FromErrno(copy.error, m_strPath)
                      : Status::FileError(made.cause, made.path);
  const off_t end = std::fflush(stream) == 0 ? ftello(stream) : -1;
  if (end < 0) return Status::FromErrno(errno ? errno : EIO, m_strPath);

  // Read back from the page cache in long reads: the file's bytes are hashed
  // as they lie, whichever worker wrote them and in whatever order.
  constexpr size_t kHashChunk = size_t{1} << 20;
  const PageBuffer chunk(kHashChunk);
  if (chunk.data() == nullptr) return Status::FromErrno(ENOMEM, m_strPath);
  HashState hash;
  for (uint64_t at = 0; at < static_cast<uint64_t>(end);) {
    const size_t step = static_cast<size_t>(std::min<uint64_t>(end - at, kHashChunk));
    int error = 0;
    if (ReadFileAt(out.fd(), at, chunk.data(), step, &error) != step)
      return Status::FromErrno(error ? error : EIO, m_strPath);
    XXH64_update(hash.state, chunk.data(), step);
    at += step;
  }
  const auto trailer = ChecksumTrailer(XXH64_digest(hash.state));
  if (FileErrorCause cause = out.Write(trailer.data(), trailer.size());
      cause != FileErrorCause::kNone)
    return Status::FileError(cause, m_strPath);
  if (FileErrorCause cause = out.Commit(); cause != FileErrorCause::kNone)
    return Status::FileError(cause, m_strPath);
  return Status::Ok();
}

PendingSideFiles::PendingSideFiles() = default;
PendingSideFiles::~PendingSideFiles() = default;
PendingSideFiles::PendingSideFiles(PendingSideFiles&&) noexcept = default;
PendingSideFiles& PendingSideFiles::operator=(PendingSideFiles&&) noexcept = default;

SiteOutcome PendingSideFiles::Commit() {
  // Taken out first: whatever happens, nothing is left to commit, and a
  // side file not reached is abandoned as the load would have left it.
  const std::unique_ptr<AtomicFile> block = std::move(block_);
  const std::unique_ptr<AtomicFile> plan = std::move(plan_);
  if (const std::unique_ptr<PosixFile> source = std::move(source_); source && block) {
    if (Status copied = CopyBlock(*source, source_path_, block.get(), block_length_); !copied.ok())
      return SiteOutcome::Failed(std::move(copied));
  }
  for (AtomicFile* side : {block.get(), plan.get()}) {
    if (side == nullptr) continue;
    if (FileErrorCause cause = side->Commit(); cause != FileErrorCause::kNone)
      return SiteOutcome::Failed(Status::FileError(cause, side->target()));
  }
  return {};
}

SiteOutcome CSiteProjection::Load(const std::string& path, PlanExpansionWatch* watch) {
  return LoadBesideOrCached(path, watch, nullptr);
}

SiteOutcome CSiteProjection::Load(const std::string& path, PlanExpansionWatch* watch,
                                  PendingSideFiles& pending) {
  return LoadBesideOrCached(path, watch, &pending);
}

SiteOutcome CSiteProjection::LoadBesideOrCached(const std::string& path, PlanExpansionWatch* watch,
                                                PendingSideFiles* pending) {
  const auto load = [&](const std::string& block, const std::string& plan) {
    if (pending == nullptr) return LoadInto(path, block, plan, watch);
    SiteOutcome written = WriteSideFiles(path, block, plan, watch, *pending, BlockCopy::kAtCommit);
    if (written.ok()) m_strPlanPath = plan;
    return written;
  };
  SiteOutcome outcome =
      load(SideFilePath(path, SideFile::kBlock), SideFilePath(path, SideFile::kExpandedPlan));
  const Status& status = outcome.status();
  // A projection file on read-only media: its side files go to the user's
  // cache folder, where nothing is lost if they are cleared.
  if (status.cause() != FileErrorCause::kAccessDenied ||
      status.path() != SideFilePath(path, SideFile::kBlock) || !FolderRefusesFiles(status.path()))
    return outcome;
  const std::string block = CacheSideFilePath(path, SideFile::kBlock);
  const std::string plan = CacheSideFilePath(path, SideFile::kExpandedPlan);
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(block).parent_path(), ignored);
  outcome = load(block, plan);
  if (outcome.ok())
    outcome.Note("The plan of " + BaseName(path) + " is kept in " + plan +
                 ": the projection file's folder takes no files.");
  return outcome;
}

SiteOutcome CSiteProjection::LoadInto(const std::string& path, const std::string& block_path,
                                      const std::string& plan_path, PlanExpansionWatch* watch) {
  PendingSideFiles pending;
  SiteOutcome outcome =
      WriteSideFiles(path, block_path, plan_path, watch, pending, BlockCopy::kNow);
  if (outcome.ok()) outcome = pending.Commit();
  if (outcome.ok()) m_strPlanPath = plan_path;
  return outcome;
}

// The plan is expanded straight from the projection file into its bitmap
// side file (and to `watch`); the block's own side file is a copy made
// afterwards, so the plan is never decoded from a file this load wrote.
SiteOutcome CSiteProjection::WriteSideFiles(const std::string& path, const std::string& block_path,
                                            const std::string& plan_path, PlanExpansionWatch* watch,
                                            PendingSideFiles& pending, BlockCopy copy_block) {
  pending = PendingSideFiles();
  m_strPath = path;
  // A side file that is the projection file itself would be truncated before
  // it is read.
  if (IsSameFile(block_path, path) || IsSameFile(plan_path, path) ||
      IsSameFile(block_path, plan_path))
    return SiteOutcome::Failed(Status::FileError(FileErrorCause::kSharingViolation, path));
  if (FileErrorCause cause = m_file.OpenForReading(path); cause != FileErrorCause::kNone)
    return SiteOutcome::Failed(Status::FileError(cause, path));
  uint64_t block_length = 0;
  uint32_t plan_length = 0;
  Status status = MeasureBlock(block_length, plan_length);
  // Both side files are created before either is written, the block's
  // first, so a folder that takes no files is named as it always was.
  auto block = std::make_unique<AtomicFile>(block_path);
  auto plan = std::make_unique<AtomicFile>(plan_path);
  for (AtomicFile* side : {block.get(), plan.get()}) {
    if (!status.ok()) break;
    if (FileErrorCause cause = side->Open(); cause != FileErrorCause::kNone)
      status = Status::FileError(cause, side->target());
  }
  if (status.ok()) status = ExpandPlan(*plan, watch, plan_length);
  // Checked before the plan is given out, whenever it is copied: a flipped
  // bit must not open as a plan with some pixels silently wrong.
  if (status.ok())
    status = CopyBlock(m_file, m_strPath, copy_block == BlockCopy::kNow ? block.get() : nullptr,
                       block_length);
  m_file.Close();  // read-only: nothing to lose on close
  if (status.ok() && copy_block == BlockCopy::kAtCommit) {
    // The disk space the copy will take is had now, so that a full disk
    // still refuses the load instead of failing it once the plan is shown;
    // where the file system cannot reserve space the copy finds out. The
    // projection file is held open for the copy from here on.
    pending.source_ = std::make_unique<PosixFile>();
    pending.source_path_ = path;
    pending.block_length_ = block_length;
    if (::fallocate(block->fd(), 0, 0, static_cast<off_t>(block_length)) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
      status = Status::FileError(FileErrorCauseFromErrno(errno), block->target());
    else if (FileErrorCause cause = pending.source_->OpenForReading(path);
             cause != FileErrorCause::kNone)
      status = Status::FileError(cause, path);
  }
  if (!status.ok()) {
    pending = PendingSideFiles();
    return SiteOutcome::Failed(std::move(status));
  }
  pending.block_ = std::move(block);
  pending.plan_ = std::move(plan);
  return {};
}

Status CSiteProjection::MeasureBlock(uint64_t& block_length, uint32_t& plan_length) {
  uint64_t size = 0;
  uint8_t counts[8] = {};
  FileErrorCause cause = m_file.Size(size);
  if (cause == FileErrorCause::kNone && size < kProjectionMinFileSize)
    cause = FileErrorCause::kEndOfFile;
  if (cause == FileErrorCause::kNone) cause = m_file.Seek(kProjectionBlockOffset);
  if (cause == FileErrorCause::kNone) cause = m_file.ReadExactly(counts, sizeof counts);
  block_length = uint64_t{kProjectionBlockFixedSize} + LoadLe32(counts);
  plan_length = LoadLe32(counts + 4);
  if (cause == FileErrorCause::kNone && kProjectionBlockOffset + block_length > size)
    cause = FileErrorCause::kEndOfFile;
  if (cause != FileErrorCause::kNone) return Status::FileError(cause, m_strPath);
  return Status::Ok();
}

Status CSiteProjection::ExpandPlan(AtomicFile& plan, PlanExpansionWatch* watch,
                                   uint32_t plan_length) {
  int error = 0;
  std::FILE* source = OpenRegularStream(m_strPath, &error);
  if (source == nullptr || ::fseeko(source, kProjectionBlockOffset, SEEK_SET) != 0) {
    if (source != nullptr) std::fclose(source);
    return Status::FromErrno(error ? error : EIO, m_strPath);
  }
  std::FILE* dest = plan.Stream();
  // Faults in the block are the projection file's, and named so.
  CCompression compression(m_strPath, plan.target());
  CompressionOutcome outcome;
  if (dest == nullptr) {
    outcome.cause = FileErrorCauseFromErrno(errno ? errno : EIO);
    outcome.path = plan.target();
  } else if (watch == nullptr) {
    outcome = compression.DecompressStream(source, dest);
  } else if (Status refused = watch->Begin(plan_length); !refused.ok()) {
    std::fclose(source);
    return refused;
  } else {
    outcome = compression.DecompressStream(
        source, dest,
        [watch](uint64_t offset, std::span<const uint8_t> bytes) { watch->Bytes(offset, bytes); });
  }
  std::fclose(source);
  if (!outcome.ok) return Status::FileError(outcome.cause, outcome.path);
  if (watch != nullptr) watch->Expanded();
  return Status::Ok();
}

CSiteProjection::Checksum CSiteProjection::CheckChecksum(const std::string& path) {
  PosixFile file;
  uint64_t size = 0;
  uint8_t counts[8] = {};
  if (file.OpenForReading(path) != FileErrorCause::kNone ||
      file.Size(size) != FileErrorCause::kNone)
    return Checksum::kUnreadable;
  if (size < kProjectionMinFileSize + kChecksumTrailerSize) return Checksum::kNone;
  if (file.Seek(kProjectionBlockOffset) != FileErrorCause::kNone ||
      file.ReadExactly(counts, sizeof counts) != FileErrorCause::kNone)
    return Checksum::kUnreadable;
  const uint64_t used = uint64_t{kProjectionMinFileSize} + LoadLe32(counts);
  uint8_t tail[kChecksumTrailerSize];
  if (size != used + kChecksumTrailerSize || file.Seek(used) != FileErrorCause::kNone ||
      file.ReadExactly(tail, sizeof tail) != FileErrorCause::kNone ||
      !std::equal(std::begin(kChecksumMagic), std::end(kChecksumMagic), tail) ||
      LoadLe32(tail + 4) != kChecksumVersion)
    return Checksum::kNone;
  HashState hash;
  std::vector<uint8_t> chunk(kCopyChunk);
  if (file.Seek(0) != FileErrorCause::kNone) return Checksum::kUnreadable;
  for (uint64_t left = used; left > 0;) {
    const size_t step = left < kCopyChunk ? static_cast<size_t>(left) : kCopyChunk;
    if (file.ReadExactly(chunk.data(), step) != FileErrorCause::kNone) return Checksum::kUnreadable;
    XXH64_update(hash.state, chunk.data(), step);
    left -= step;
  }
  const uint64_t saved = uint64_t{LoadLe32(tail + 8)} | uint64_t{LoadLe32(tail + 12)} << 32;
  return saved == XXH64_digest(hash.state) ? Checksum::kMatches : Checksum::kDamaged;
}

}  // namespace velkaro
