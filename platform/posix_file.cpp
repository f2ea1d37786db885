#include "platform/posix_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkaro {
namespace {

FileErrorCause LastCause() { return FileErrorCauseFromErrno(errno); }

}  // namespace

PosixFile::~PosixFile() {
  if (fd_ >= 0) ::close(fd_);
}

FileErrorCause PosixFile::OpenWith(const std::string& path, int flags, bool lock) {
  Close();
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) return LastCause();
  // open() succeeds on a directory for reading; it is not a file to use.
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    const FileErrorCause cause =
        S_ISDIR(info.st_mode) ? FileErrorCauseFromErrno(EISDIR) : LastCause();
    ::close(fd);
    return cause;
  }
  if (lock && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    const FileErrorCause cause = held ? FileErrorCause::kSharingViolation : LastCause();
    ::close(fd);
    return cause;
  }
  fd_ = fd;
  return FileErrorCause::kNone;
}

FileErrorCause PosixFile::OpenForReading(const std::string& path) {
  return OpenWith(path, O_RDONLY, false);
}

FileErrorCause PosixFile::OpenForUpdate(const std::string& path) {
  return OpenWith(path, O_RDWR | O_CREAT, true);
}

FileErrorCause PosixFile::Create(const std::string& path) {
  return OpenWith(path, O_WRONLY | O_CREAT | O_TRUNC, true);
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

FileErrorCause PosixFile::WriteAll(const void* buffer, size_t length) {
  const auto* in = static_cast<const char*>(buffer);
  while (length > 0) {
    const ssize_t put = ::write(fd_, in, length);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return LastCause();
    if (put == 0) return FileErrorCause::kDiskFull;
    in += put;
    length -= static_cast<size_t>(put);
  }
  return FileErrorCause::kNone;
}

FileErrorCause PosixFile::Close() {
  if (fd_ < 0) return FileErrorCause::kNone;
  const int fd = fd_;
  fd_ = -1;
  // Closing also releases the lock.
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
