#pragma once

#include <string>

namespace velkaro {

// An advisory lock on a path among the processes of one user, held for as
// long as the object holds it: a lock (flock) on a small file in the user's
// runtime folder ($XDG_RUNTIME_DIR/velkaro, else the temporary folder),
// named after the path. Nothing is written beside the path itself, and a
// file replaced by a rename keeps its lock, since the lock is on its name.
// Two locks taken in one process exclude each other too.
//
// Thread safety: none; one owner.
class PathLock {
 public:
  PathLock() = default;
  ~PathLock() { Release(); }
  PathLock(const PathLock&) = delete;
  PathLock& operator=(const PathLock&) = delete;

  enum class Result {
    kTaken,
    kBusy,        // another holder has it (only without `wait`)
    kNoLockFile,  // no lock file could be made: nothing is known of others
  };
  // Takes the lock on `path`, releasing any held before. Without `wait`,
  // kBusy at once when another holder has it; with it, waits for it.
  Result Acquire(const std::string& path, bool wait = false);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace velkaro
