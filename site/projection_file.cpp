// Writing and reading projection files. Every file is written all or
// nothing (platform/atomic_file.h): the projection file is built in a
// temporary file beside it and renamed over it once complete, so a save that
// fails, is killed or fills the disk leaves the old file byte for byte; a
// saved file is exactly header and block. Saving builds the compressed plan
// first and starts the projection file only once that block is ready.
// Loading reads only regular files; a file too short for its own block is
// refused before any side file is written, and a block that does not expand
// whole leaves both side files as they were.
#include "compression/compression.h"
#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "site/site_projection.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace velkaro {
namespace {

constexpr size_t kCopyChunk = 64 * 1024;

// Copies `length` bytes from the current position of `from` to the current
// position of `to`. On failure `failed` names the file that failed.
FileErrorCause CopyBytes(PosixFile& from, const std::string& from_path, AtomicFile& to,
                         uint64_t length, std::string& failed) {
  std::vector<uint8_t> chunk(kCopyChunk);
  while (length > 0) {
    const size_t step = length < kCopyChunk ? static_cast<size_t>(length) : kCopyChunk;
    if (FileErrorCause cause = from.ReadExactly(chunk.data(), step);
        cause != FileErrorCause::kNone) {
      failed = from_path;
      return cause;
    }
    if (FileErrorCause cause = to.Write(chunk.data(), step); cause != FileErrorCause::kNone) {
      failed = to.target();
      return cause;
    }
    length -= step;
  }
  return FileErrorCause::kNone;
}

}  // namespace

void CSiteProjection::ReportFileError(FileErrorCause cause, const std::string& path) {
  messages_.ShowOk(FileErrorText(cause, path));
}

void CSiteProjection::ReportFileErrorWithAlarm(FileErrorCause cause, const std::string& path) {
  ReportFileError(cause, path);
  waves_.Play("REDALERT");
}

bool CSiteProjection::Save(const std::string& path) {
  if (m_taps.size() < static_cast<size_t>(kMinTapsToSave)) {
    messages_.ShowOk("Take at least 5 points.");
    return false;
  }
  Solve();
  if (!Validate()) {
    messages_.ShowOk("Points do not generate valid geocode. Take more varied points and resave.");
    return false;
  }
  m_strPath = path;
  if (!CompressPlan()) return false;

  const std::string block_path = m_strPlanPath + "c";
  PosixFile block;
  if (FileErrorCause cause = block.OpenForReading(block_path); cause != FileErrorCause::kNone) {
    ReportFileErrorWithAlarm(cause, block_path);
    return false;
  }
  // Saving onto the plan's own side file would replace the block while it is
  // the one being attached: refused, as it always was.
  if (IsSameFile(block_path, m_strPath)) {
    ReportFileErrorWithAlarm(FileErrorCause::kSharingViolation, m_strPath);
    return false;
  }
  AtomicFile out(m_strPath);
  if (!OpenFile(out) || !WriteHeader(out) || !AttachPlan(block, out)) return false;
  if (FileErrorCause cause = out.Commit(); cause != FileErrorCause::kNone) {
    ReportFileErrorWithAlarm(cause, m_strPath);
    return false;
  }
  // The points go beside the saved file too, for the georeferencer and for
  // the next time this file is opened.
  KeepPoints(m_strPath + ".points");
  return true;
}

bool CSiteProjection::OpenFile(AtomicFile& out) {
  if (FileErrorCause cause = out.Open(); cause != FileErrorCause::kNone) {
    ReportFileError(cause, m_strPath);
    return false;
  }
  return true;
}

bool CSiteProjection::WriteHeader(AtomicFile& out) {
  StoreLe32(m_header + kProjectionLengthOffset, kProjectionHeaderSize);
  for (int i = 0; i < 4; ++i) m_header[kProjectionMagicOffset + i] = kProjectionMagic[i];
  m_header[kProjectionFormatOffset] = kProjectionFormat;
  StoreLe32(m_header + kProjectionFormatOffset + 1, 0);
  StoreLe32(m_header + kProjectionMatrixOffset + kProjectionMatrixSize, 0);
  if (FileErrorCause cause = out.Write(m_header, kProjectionHeaderSize);
      cause != FileErrorCause::kNone) {
    ReportFileErrorWithAlarm(cause, m_strPath);
    return false;
  }
  return true;
}

bool CSiteProjection::CompressPlan() {
  CCompression compression(m_strPlanPath, m_strPlanPath + "c");
  const CompressionOutcome outcome = compression.Compress();
  if (!outcome.ok) {
    ReportFileErrorWithAlarm(outcome.cause, outcome.path);
    return false;
  }
  return true;
}

bool CSiteProjection::AttachPlan(PosixFile& block, AtomicFile& out) {
  const std::string block_path = m_strPlanPath + "c";
  uint64_t length = 0;
  std::string failed = block_path;
  FileErrorCause cause = block.Size(length);
  if (cause == FileErrorCause::kNone) {
    // The block follows the header directly.
    cause = CopyBytes(block, block_path, out, length, failed);
  }
  if (cause != FileErrorCause::kNone) {
    ReportFileErrorWithAlarm(cause, failed);
    return false;
  }
  return true;
}

bool CSiteProjection::Load(const std::string& path, PlanExpansionWatch* watch) {
  return LoadInto(path, path + "c", path + "b", watch);
}

// The plan is expanded straight from the projection file into its bitmap
// side file (and to `watch`); the block's own side file is a copy made
// afterwards, so the plan is never decoded from a file this load wrote.
bool CSiteProjection::LoadInto(const std::string& path, const std::string& block_path,
                               const std::string& plan_path, PlanExpansionWatch* watch) {
  m_strPath = path;
  // A side file that is the projection file itself would be truncated before
  // it is read.
  if (IsSameFile(block_path, path) || IsSameFile(plan_path, path) ||
      IsSameFile(block_path, plan_path)) {
    ReportFileError(FileErrorCause::kSharingViolation, path);
    return false;
  }
  if (FileErrorCause cause = m_file.OpenForReading(path); cause != FileErrorCause::kNone) {
    ReportFileError(cause, path);
    return false;
  }
  uint64_t block_length = 0;
  uint32_t plan_length = 0;
  bool loaded = MeasureBlock(block_length, plan_length);
  // Both side files are created before either is written, the block's
  // first, so a folder that takes no files is named as it always was.
  AtomicFile block(block_path);
  AtomicFile plan(plan_path);
  for (AtomicFile* side : {&block, &plan}) {
    if (!loaded) break;
    if (FileErrorCause cause = side->Open(); cause != FileErrorCause::kNone) {
      ReportFileError(cause, side->target());
      loaded = false;
    }
  }
  loaded = loaded && ExpandPlan(plan, watch, plan_length) && CopyBlock(block, block_length);
  m_file.Close();  // read-only: nothing to lose on close
  if (!loaded) return false;
  for (AtomicFile* side : {&block, &plan}) {
    if (FileErrorCause cause = side->Commit(); cause != FileErrorCause::kNone) {
      ReportFileError(cause, side->target());
      return false;
    }
  }
  m_strPlanPath = plan_path;
  return true;
}

bool CSiteProjection::MeasureBlock(uint64_t& block_length, uint32_t& plan_length) {
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
  if (cause != FileErrorCause::kNone) {
    ReportFileError(cause, m_strPath);
    return false;
  }
  return true;
}

bool CSiteProjection::ExpandPlan(AtomicFile& plan, PlanExpansionWatch* watch,
                                 uint32_t plan_length) {
  int error = 0;
  std::FILE* source = OpenRegularStream(m_strPath, &error);
  if (source == nullptr || ::fseeko(source, kProjectionBlockOffset, SEEK_SET) != 0) {
    if (source != nullptr) std::fclose(source);
    ReportFileError(FileErrorCauseFromErrno(error ? error : EIO), m_strPath);
    return false;
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
  } else {
    watch->Begin(plan_length);
    outcome = compression.DecompressStream(
        source, dest,
        [watch](uint64_t offset, std::span<const uint8_t> bytes) { watch->Bytes(offset, bytes); });
  }
  std::fclose(source);
  if (!outcome.ok) {
    ReportFileError(outcome.cause, outcome.path);
    return false;
  }
  if (watch != nullptr) watch->Expanded();
  return true;
}

bool CSiteProjection::CopyBlock(AtomicFile& block, uint64_t block_length) {
  std::string failed = m_strPath;
  FileErrorCause cause = m_file.Seek(kProjectionBlockOffset);
  if (cause == FileErrorCause::kNone)
    cause = CopyBytes(m_file, m_strPath, block, block_length, failed);
  if (cause != FileErrorCause::kNone) {
    ReportFileError(cause, failed);
    return false;
  }
  return true;
}

}  // namespace velkaro
