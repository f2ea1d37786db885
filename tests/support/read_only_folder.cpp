#include "tests/support/read_only_folder.h"

#include <cstdio>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velkaro::testing {

namespace {

bool WriteProcFile(const char* path, const std::string& text) {
  std::FILE* file = std::fopen(path, "w");
  if (file == nullptr) return false;
  const bool written = std::fputs(text.c_str(), file) >= 0;
  return std::fclose(file) == 0 && written;
}

// In the child: the namespaces, this user as their root, and the folder
// bound over itself read-only.
bool MountReadOnly(const std::string& folder) {
  const uid_t uid = ::getuid();
  const gid_t gid = ::getgid();
  if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
  if (!WriteProcFile("/proc/self/setgroups", "deny") ||
      !WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
      !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
    return false;
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0)
    return false;
  return ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) ==
         0;
}

}  // namespace

int InReadOnlyFolder(const std::string& folder, const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    const int result = MountReadOnly(folder) ? body() : kNoReadOnlyMount;
    std::fflush(nullptr);
    _exit(result);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace velkaro::testing
