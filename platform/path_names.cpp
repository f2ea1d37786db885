#include "platform/path_names.h"

#include <cinttypes>
#include <cstdio>
#include <unistd.h>

namespace velkaro {

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char here[4096];
  return ::getcwd(here, sizeof here) != nullptr ? std::string(here) + "/" + path : path;
}

uint64_t StableHash(const std::string& text) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ull;
  return hash;
}

std::string FlatPathName(const std::string& path) {
  const std::string full = AbsolutePath(path);
  std::string name;
  for (char c : full) name += c == '/' ? '%' : c;
  if (name.size() > 200) {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "%016" PRIx64 "-", StableHash(full));
    name = prefix + name.substr(name.size() - 180);
  }
  return name;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace velkaro
