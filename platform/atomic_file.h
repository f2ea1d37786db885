#pragma once

#include "platform/file_error.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace velkaro {

// Writes a file all or nothing. The bytes go to a temporary file in the
// target's folder: an unnamed one (O_TMPFILE) where the file system has it,
// so a killed process leaves nothing behind, else a hidden unique name.
// Commit() flushes it to the disk, puts it in place of the target with one
// rename and syncs the folder, so the target is at every moment either the
// old file or the whole new one. Without Commit(), or when any step fails,
// the temporary file is removed and the target is untouched.
//
// A replaced target keeps its permission bits; a new one gets 0666 less the
// umask. Failures are reported against the target's name, never the
// temporary one. The target must be a regular file or not exist: a folder,
// FIFO or device is refused before anything is created.
//
// Thread safety: none; one owner at a time.
class AtomicFile {
 public:
  explicit AtomicFile(std::string target);
  ~AtomicFile();  // abandons an uncommitted file
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file. kNone on success.
  FileErrorCause Open();
  // The temporary file's descriptor, -1 before Open or after Commit/Abandon.
  // Open for reading too, so that a writer can check what it wrote.
  int fd() const { return fd_; }
  // A stdio stream on the temporary file, for writers that want one; owned
  // by this object (Commit flushes and closes it). Null on failure.
  std::FILE* Stream();

  // Every few megabytes written here are sent on to the disk at once
  // (StartWriteback), so that Commit's sync finds little left to write.
  FileErrorCause Write(const void* bytes, size_t length);
  // Flush, fsync, rename over the target, fsync the folder.
  FileErrorCause Commit();
  // Removes the temporary file; the target stays as it was. Idempotent.
  void Abandon();

  const std::string& target() const { return target_; }

 private:
  FileErrorCause Fail(int error_number);
  FileErrorCause CloseStream();

  std::string target_;
  std::string folder_;
  std::string temp_path_;  // empty while the file is unnamed (O_TMPFILE)
  int fd_ = -1;
  std::FILE* stream_ = nullptr;
  uint64_t written_ = 0;  // by Write
  uint64_t sent_ = 0;     // of those, handed to StartWriteback
};

// Asks the kernel to start writing [offset, offset + length) of `fd` to the
// disk now, without waiting for it: a file that will be synced once whole
// then goes to the disk while it is being made, instead of all at the sync.
// Only advice: where it is refused (a pipe, a file system without it) the
// sync writes everything, and a failed write is still reported there.
void StartWriteback(int fd, uint64_t offset, uint64_t length);

// Writes `length` bytes as the whole new content of `path`, all or nothing.
FileErrorCause WriteFileAtomically(const std::string& path, const void* bytes, size_t length);

// A hidden name beside `target` that no other writer in this or another
// process picks, for writers that need a path rather than a descriptor (a
// library that creates its own file): write there, then rename over the
// target once complete, and remove it on any failure. Naming one clears the
// hidden names of the same target that killed writers left.
std::string HiddenSiblingName(const std::string& target);

// Puts the complete file at `temp` (a HiddenSiblingName of `target`) in place
// of the target as AtomicFile::Commit does: flushed to the disk, the
// replaced target's permission bits kept, one rename, the folder synced. The
// target must be a regular file or not exist. On failure `temp` is removed
// and the target is untouched; failures are reported against the target.
FileErrorCause CommitSibling(const std::string& temp, const std::string& target);

}  // namespace velkaro
