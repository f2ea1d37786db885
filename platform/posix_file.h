#pragma once

#include "platform/file_error.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkaro {

// A file descriptor that closes itself, with the few operations the
// projection file needs. Every operation returns the cause of its failure
// (FileErrorCause::kNone on success), taken from errno; a read or write that
// moves fewer bytes than asked is a failure too (kEndOfFile for a short read,
// kDiskFull for a short write).
//
// Write access takes an exclusive advisory lock so that two programs never
// write the same file at once; a lock held elsewhere is a sharing violation.
// Thread safety: none; one owner at a time.
class PosixFile {
 public:
  PosixFile() = default;
  ~PosixFile();
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  // Opens an existing file for reading only.
  FileErrorCause OpenForReading(const std::string& path);
  // Opens the file for reading and writing, creating it when missing; an
  // existing file keeps its content (no truncation).
  FileErrorCause OpenForUpdate(const std::string& path);
  // Creates the file or truncates an existing one, for writing.
  FileErrorCause Create(const std::string& path);

  bool IsOpen() const { return fd_ >= 0; }
  FileErrorCause Size(uint64_t& size) const;
  FileErrorCause Seek(uint64_t offset);
  FileErrorCause ReadExactly(void* buffer, size_t length);
  FileErrorCause WriteAll(const void* buffer, size_t length);
  // Closes the file; a failure to flush on close is reported (kHardIO etc.).
  FileErrorCause Close();

 private:
  FileErrorCause OpenWith(const std::string& path, int flags, bool lock);

  int fd_ = -1;
};

// True when both paths exist and name the same file (hard links, "./a" and
// "a"); false when either does not exist.
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace velkaro
