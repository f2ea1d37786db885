#include "platform/atomic_file.h"

#include "platform/regular_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkaro {
namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name no other writer in this or another process picks: pid and a counter.
std::string HiddenName(const std::string& folder, const std::string& base) {
  static std::atomic<unsigned> counter{0};
  char suffix[48];
  std::snprintf(suffix, sizeof(suffix), ".%ld.%u.tmp", static_cast<long>(::getpid()),
                counter.fetch_add(1));
  return folder + "/." + base + suffix;
}

// A hidden name of `base` left by a process that was killed between naming
// its file and renaming it: ".BASE.PID.N.tmp" with no process PID alive, or
// a file a library made beside that one from its name (".BASE.PID.N.tmp"
// followed by "." or "-" and more: an overview or a journal of its own).
bool IsStaleHiddenName(const std::string& name, const std::string& base) {
  const std::string prefix = "." + base + ".";
  if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0) return false;
  const std::string rest = name.substr(prefix.size());
  long pid = 0;
  unsigned counter = 0;
  int used = 0;
  if (std::sscanf(rest.c_str(), "%ld.%u.tmp%n", &pid, &counter, &used) != 2 || used == 0 ||
      pid <= 0 || pid == ::getpid())
    return false;
  if (rest.compare(0, size_t(used), std::to_string(pid) + "." + std::to_string(counter) + ".tmp") != 0)
    return false;
  if (used != static_cast<int>(rest.size()) && rest[size_t(used)] != '.' && rest[size_t(used)] != '-')
    return false;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Removes what killed writers of `base` left in `folder`. The rename that
// puts a file in place needs a name to rename from, so a kill in between
// leaves one; the next write of the same file clears it.
void SweepStaleHiddenNames(const std::string& folder, const std::string& base) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    if (IsStaleHiddenName(entry->d_name, base)) ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // Some file systems refuse fsync on a folder; the rename itself stands.
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
  ::close(fd);
  return ok;
}

}  // namespace

AtomicFile::AtomicFile(std::string target)
    : target_(std::move(target)), folder_(FolderOf(target_)) {}

AtomicFile::~AtomicFile() { Abandon(); }

FileErrorCause AtomicFile::Fail(int error_number) {
  Abandon();
  const FileErrorCause cause = FileErrorCauseFromErrno(error_number);
  return cause == FileErrorCause::kNone ? FileErrorCause::kGeneric : cause;
}

FileErrorCause AtomicFile::Open() {
  Abandon();
  // What stands at the target now: only a regular file may be replaced, and
  // its permission bits carry over.
  if (const int refused = CheckRegularTarget(target_); refused != 0)
    return FileErrorCauseFromErrno(refused);
  mode_t mode = 0666;
  bool keep_mode = false;
  struct stat info {};
  if (::stat(target_.c_str(), &info) == 0) {
    mode = info.st_mode & 07777;
    keep_mode = true;
  }
  SweepStaleHiddenNames(folder_, BaseOf(target_));

  fd_ = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
      return Fail(errno);
    temp_path_ = HiddenName(folder_, BaseOf(target_));
    fd_ = ::open(temp_path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      const int error_number = errno;
      temp_path_.clear();
      return Fail(error_number);
    }
  }
  if (keep_mode && ::fchmod(fd_, mode) != 0) return Fail(errno);
  return FileErrorCause::kNone;
}

std::FILE* AtomicFile::Stream() {
  if (stream_ == nullptr && fd_ >= 0) {
    const int copy = ::dup(fd_);
    if (copy < 0) return nullptr;
    stream_ = ::fdopen(copy, "wb");
    if (stream_ == nullptr) ::close(copy);
  }
  return stream_;
}

FileErrorCause AtomicFile::CloseStream() {
  if (stream_ == nullptr) return FileErrorCause::kNone;
  std::FILE* const stream = stream_;
  stream_ = nullptr;
  const bool flushed = std::fflush(stream) == 0 && !std::ferror(stream);
  const int error_number = errno ? errno : EIO;
  const bool closed = std::fclose(stream) == 0;
  if (!flushed || !closed) return Fail(error_number);
  return FileErrorCause::kNone;
}

void StartWriteback(int fd, uint64_t offset, uint64_t length) {
  if (length > 0)
    ::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(length),
                      SYNC_FILE_RANGE_WRITE);
}

FileErrorCause AtomicFile::Write(const void* bytes, size_t length) {
  // Large enough that the disk gets long runs, small enough that a big file
  // is mostly on the disk by the time it is whole.
  constexpr uint64_t kWritebackStep = uint64_t{8} << 20;
  if (fd_ < 0) return FileErrorCause::kInvalidFile;
  const auto* in = static_cast<const char*>(bytes);
  while (length > 0) {
    const ssize_t put = ::write(fd_, in, length);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return Fail(errno);
    if (put == 0) return Fail(ENOSPC);
    in += put;
    length -= static_cast<size_t>(put);
    written_ += static_cast<uint64_t>(put);
  }
  if (written_ - sent_ >= kWritebackStep) {
    StartWriteback(fd_, sent_, written_ - sent_);
    sent_ = written_;
  }
  return FileErrorCause::kNone;
}

FileErrorCause AtomicFile::Commit() {
  if (fd_ < 0) return FileErrorCause::kInvalidFile;
  errno = 0;
  if (const FileErrorCause cause = CloseStream(); cause != FileErrorCause::kNone) return cause;
  if (::fsync(fd_) != 0) return Fail(errno);
  if (temp_path_.empty()) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    // A new file is linked in place at once, leaving no name behind.
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      ::close(fd_);
      fd_ = -1;
      if (!SyncFolder(folder_)) return FileErrorCauseFromErrno(errno ? errno : EIO);
      return FileErrorCause::kNone;
    }
    if (errno != EEXIST) return Fail(errno);
    // Replacing: an unnamed file gets a hidden name first, as linkat cannot
    // replace.
    temp_path_ = HiddenName(folder_, BaseOf(target_));
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp_path_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      const int error_number = errno;
      temp_path_.clear();
      return Fail(error_number);
    }
  }
  if (::close(fd_) != 0) {
    fd_ = -1;
    return Fail(errno);
  }
  fd_ = -1;
  if (::rename(temp_path_.c_str(), target_.c_str()) != 0) return Fail(errno);
  temp_path_.clear();
  if (!SyncFolder(folder_)) return FileErrorCauseFromErrno(errno ? errno : EIO);
  return FileErrorCause::kNone;
}

void AtomicFile::Abandon() {
  if (stream_ != nullptr) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_path_.empty()) {
    ::unlink(temp_path_.c_str());
    temp_path_.clear();
  }
}

FileErrorCause WriteFileAtomically(const std::string& path, const void* bytes, size_t length) {
  AtomicFile file(path);
  if (FileErrorCause cause = file.Open(); cause != FileErrorCause::kNone) return cause;
  if (FileErrorCause cause = file.Write(bytes, length); cause != FileErrorCause::kNone)
    return cause;
  return file.Commit();
}

std::string HiddenSiblingName(const std::string& target) {
  // A writer by path (GDAL's exports) killed before its rename leaves its
  // whole temporary file: the next write of the same target clears it, as
  // AtomicFile::Open does.
  SweepStaleHiddenNames(FolderOf(target), BaseOf(target));
  return HiddenName(FolderOf(target), BaseOf(target));
}

FileErrorCause CommitSibling(const std::string& temp, const std::string& target) {
  auto fail = [&temp](int error_number) {
    ::unlink(temp.c_str());
    const FileErrorCause cause = FileErrorCauseFromErrno(error_number);
    return cause == FileErrorCause::kNone ? FileErrorCause::kGeneric : cause;
  };
  if (const int refused = CheckRegularTarget(target); refused != 0) return fail(refused);
  struct stat info {};
  const bool replacing = ::stat(target.c_str(), &info) == 0;
  const int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(errno);
  const bool synced = (!replacing || ::fchmod(fd, info.st_mode & 07777) == 0) && ::fsync(fd) == 0;
  const int error_number = errno;
  ::close(fd);
  if (!synced) return fail(error_number);
  if (::rename(temp.c_str(), target.c_str()) != 0) return fail(errno);
  if (!SyncFolder(FolderOf(target))) return FileErrorCauseFromErrno(errno ? errno : EIO);
  return FileErrorCause::kNone;
}

}  // namespace velkaro
