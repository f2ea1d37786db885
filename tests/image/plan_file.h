#pragma once

// Shared by the plan bitmap reader's tests and the export tests that read a
// plan through it: a plan bitmap opened for reading, and the BMP suite.

#include "image/bmp_rows.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace velkaro::testing {

inline const std::string kBmpSuite = std::string(VELKARO_SOURCE_DIR) + "/tests/data/bmpsuite/";

// A plan file open for reading and its row reader; `error` is the reader's
// refusal, if any ("" when it opened).
class PlanFile {
 public:
  explicit PlanFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    status_ = fd_ < 0 ? Status::FromErrno(errno, path) : rows_.Open(fd_, path);
  }
  ~PlanFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  PlanFile(const PlanFile&) = delete;
  PlanFile& operator=(const PlanFile&) = delete;

  image::BmpRows& rows() { return rows_; }
  const Status& status() const { return status_; }
  const std::string& error() const { return status_.message(); }

 private:
  int fd_;
  image::BmpRows rows_;
  Status status_;
};

// A file of the BMP suite.
class SuitePlan : public PlanFile {
 public:
  explicit SuitePlan(const std::string& name) : PlanFile(kBmpSuite + name) {}
};

}  // namespace velkaro::testing
