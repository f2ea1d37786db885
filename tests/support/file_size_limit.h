#pragma once

// A full disk without a small file system: while the object lives, no file
// the process writes may grow past the limit, and a write that would fails
// with EFBIG (SIGXFSZ, which would end the test, is ignored). The old limit
// and handler come back when the object goes, also when an assertion ends
// the test early.

#include <csignal>
#include <sys/resource.h>

namespace velkaro::testing {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : handler_(std::signal(SIGXFSZ, SIG_IGN)) {
    if (::getrlimit(RLIMIT_FSIZE, &saved_) != 0) return;
    rlimit tight = saved_;
    tight.rlim_cur = bytes;
    set_ = ::setrlimit(RLIMIT_FSIZE, &tight) == 0;
  }
  ~FileSizeLimit() {
    if (set_) ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  // Whether the limit holds; a test without it would test nothing.
  bool set() const { return set_; }

 private:
  void (*handler_)(int);
  rlimit saved_{};
  bool set_ = false;
};

}  // namespace velkaro::testing
