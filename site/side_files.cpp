#include "site/side_files.h"

#include "platform/path_names.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace velkaro {

std::string FallbackPointsPath(const std::string& points_path) {
  const std::string full = AbsolutePath(points_path);
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  std::string folder = data != nullptr && data[0] == '/' ? std::string(data)
                       : home != nullptr && home[0] == '/' ? std::string(home) + "/.local/share"
                                                           : std::string("/tmp");
  folder += "/velkaro/points/";
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

}  // namespace velkaro
