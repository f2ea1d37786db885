#include "site/side_files.h"

#include "platform/path_names.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace velkaro {

namespace {

// `path` as a file in the user's folder named by `variable` (else `home_sub`
// under $HOME), subfolder velkaro/`leaf`.
std::string InUserFolder(const std::string& path, const char* variable, const char* home_sub,
                         const char* leaf) {
  const std::string full = AbsolutePath(path);
  const char* chosen = std::getenv(variable);
  const char* home = std::getenv("HOME");
  std::string folder = chosen != nullptr && chosen[0] == '/' ? std::string(chosen)
                       : home != nullptr && home[0] == '/'   ? std::string(home) + home_sub
                                                             : std::string("/tmp");
  folder += std::string("/velkaro/") + leaf + "/";
  // The full path, readable, when it fits in a file name; else its end
  // after a hash of the whole (FNV-1a), which tells long paths apart.
  std::string name;
  for (char c : full) name += c == '/' ? '%' : c;
  if (name.size() > 200) {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "%016" PRIx64 "-", StableHash(full));
    name = prefix + name.substr(name.size() - 180);
  }
  return folder + name;
}

}  // namespace

std::string FallbackPointsPath(const std::string& points_path) {
  return InUserFolder(points_path, "XDG_DATA_HOME", "/.local/share", "points");
}

std::string CacheSideFilePath(const std::string& path, SideFile kind) {
  return InUserFolder(SideFilePath(path, kind), "XDG_CACHE_HOME", "/.cache", "files");
}

}  // namespace velkaro
