#include "platform/path_lock.h"

#include "platform/path_names.h"

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkaro {
namespace {

std::string LockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/velkaro";
  const char* temp = std::getenv("TMPDIR");
  const std::string base = temp != nullptr && temp[0] == '/' ? temp : "/tmp";
  return base + "/velkaro-" + std::to_string(::getuid());
}

}  // namespace

PathLock::Result PathLock::Acquire(const std::string& path, bool wait) {
  Release();
  const std::string folder = LockFolder();
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return Result::kNoLockFile;
  char name[32];
  std::snprintf(name, sizeof name, "/%016" PRIx64 ".lock", StableHash(AbsolutePath(path)));
  const int fd = ::open((folder + name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Result::kNoLockFile;
  int locked = -1;
  do {
    locked = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? Result::kBusy : Result::kNoLockFile;
  }
  fd_ = fd;
  return Result::kTaken;
}

void PathLock::Release() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the descriptor releases the lock
  fd_ = -1;
}

}  // namespace velkaro
