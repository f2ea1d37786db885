#include "simulator/line_link.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace velkaro::board {
namespace {

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

// Where `path` points, or "" when it is no symbolic link.
std::string LinkTarget(const std::string& path) {
  char target[4096];
  const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
  if (n < 0 || static_cast<std::size_t>(n) == sizeof target) return "";
  return std::string(target, static_cast<std::size_t>(n));
}

}  // namespace

bool LineLink::Create(const std::string& path, const std::string& target, std::string* error) {
  Remove();
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
    *error = path + " exists and is not a symbolic link";
    return false;
  }
  // In the same folder as `path`, so that the rename stays on one file system.
  const std::string temporary = path + ".velkaro-board-" + std::to_string(::getpid());
  ::unlink(temporary.c_str());
  if (::symlink(target.c_str(), temporary.c_str()) != 0) {
    *error = Reason("cannot create " + temporary);
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = Reason("cannot rename " + temporary + " to " + path);
    ::unlink(temporary.c_str());
    return false;
  }
  path_ = path;
  target_ = target;
  return true;
}

void LineLink::Remove() {
  if (path_.empty()) return;
  if (LinkTarget(path_) == target_) ::unlink(path_.c_str());
  path_.clear();
  target_.clear();
}

}  // namespace velkaro::board
