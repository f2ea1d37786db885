#pragma once

#include <string>

namespace velkaro::gis {

// The plan bitmap stored in a projection file, expanded into an unnamed
// temporary file in the system's temporary folder ($TMPDIR, else /tmp). The
// file has no name from the start, so it vanishes when closed, even when the
// process is killed; the plan goes from block to disk through the
// compressor's fixed buffers and is never held in memory.
//
// Thread safety: none; one owner.
class ExpandedPlan {
 public:
  ExpandedPlan() = default;
  ~ExpandedPlan();
  ExpandedPlan(const ExpandedPlan&) = delete;
  ExpandedPlan& operator=(const ExpandedPlan&) = delete;

  // Expands the block of the projection file at `path`. REQUIRES: the file
  // was checked to be a projection file. Returns an empty string on success,
  // else what went wrong (naming the file).
  std::string Expand(const std::string& path);

  // The expanded bitmap, open for reading; -1 before a successful Expand.
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace velkaro::gis
