#include "site/side_files.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace velkaro {

std::string FallbackPointsPath(const std::string& points_path) {
  std::string full = points_path;
  if (full.empty() || full[0] != '/') {
    char here[4096];
    if (::getcwd(here, sizeof here) != nullptr) full = std::string(here) + "/" + full;
  }
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
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : full) hash = (hash ^ c) * 0x100000001b3ull;
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "%016" PRIx64 "-", hash);
    name = prefix + name.substr(name.size() - 180);
  }
  return folder + name;
}

}  // namespace velkaro
