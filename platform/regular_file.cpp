#include "platform/regular_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkaro {
namespace {

int ErrorForKind(mode_t mode) {
  if (S_ISREG(mode)) return 0;
  return S_ISDIR(mode) ? EISDIR : EACCES;
}

}  // namespace

size_t ReadFileAt(int fd, uint64_t offset, uint8_t* p, size_t n, int* error) {
  size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(fd, p + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) *error = errno ? errno : EIO;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

int OpenRegularFile(const std::string& path, int* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return -1;
  }
  struct stat info {};
  int failure = ::fstat(fd, &info) != 0 ? errno : ErrorForKind(info.st_mode);
  if (failure == 0) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) failure = errno;
  }
  if (failure != 0) {
    ::close(fd);
    *error = failure;
    return -1;
  }
  return fd;
}

std::FILE* OpenRegularStream(const std::string& path, int* error) {
  const int fd = OpenRegularFile(path, error);
  if (fd < 0) return nullptr;
  std::FILE* stream = ::fdopen(fd, "rb");
  if (stream == nullptr) {
    *error = errno;
    ::close(fd);
  }
  return stream;
}

int CheckRegularTarget(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return errno == ENOENT ? 0 : errno;
  return ErrorForKind(info.st_mode);
}

}  // namespace velkaro
