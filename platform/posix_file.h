#pragma once

#include "platform/file_error.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkaro {

// A file opened for reading that closes itself, with the few operations the
// projection file needs. Only regular files open (platform/regular_file.h).
// Every operation returns the cause of its failure (FileErrorCause::kNone on
// success), taken from errno; a read that moves fewer bytes than asked is a
// failure too (kEndOfFile). Files are written through AtomicFile.
// Thread safety: none; one owner at a time.
class PosixFile {
 public:
  PosixFile() = default;
  ~PosixFile();
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  // Opens an existing regular file for reading only.
  FileErrorCause OpenForReading(const std::string& path);

  bool IsOpen() const { return fd_ >= 0; }
  FileErrorCause Size(uint64_t& size) const;
  FileErrorCause Seek(uint64_t offset);
  FileErrorCause ReadExactly(void* buffer, size_t length);
  FileErrorCause Close();

 private:
  int fd_ = -1;
};

// True when both paths exist and name the same file (hard links, "./a" and
// "a"); false when either does not exist.
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace velkaro
