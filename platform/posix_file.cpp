#include "platform/posix_file.h"

#include "platform/regular_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkaro {
namespace {

FileErrorCause LastCause() { return FileErrorCauseFromErrno(errno); }

}  // namespace

PosixFile::~PosixFile() {
  if (fd_ >= 0) ::close(fd_);
}

FileErrorCause PosixFile::OpenForReading(const std::string& path) {
  Close();
  int error = 0;
  fd_ = OpenRegularFile(path, &error);
  return fd_ < 0 ? FileErrorCauseFromErrno(error) : FileErrorCause::kNone;
}

FileErrorCause PosixFile::Size(uint64_t& size) const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) return LastCause();
  size = static_cast<uint64_t>(info.st_size);
  return FileErrorCause::kNone;
}

FileErrorCause PosixFile::Seek(uint64_t offset) {
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return FileErrorCause::kBadSeek;
  return FileErrorCause::kNone;
}

FileErrorCause PosixFile::ReadExactly(void* buffer, size_t length) {
  auto* out = static_cast<char*>(buffer);
  while (length > 0) {
    const ssize_t got = ::read(fd_, out, length);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return LastCause();
    if (got == 0) return FileErrorCause::kEndOfFile;
    out += got;
    length -= static_cast<size_t>(got);
  }
  return FileErrorCause::kNone;
}

FileErrorCause PosixFile::Close() {
  if (fd_ < 0) return FileErrorCause::kNone;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) return LastCause();
  return FileErrorCause::kNone;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat first {
  }, second{};
  if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace velkaro
