#include "platform/path_names.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
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

std::string UserFolder(const char* variable, const char* home_sub) {
  const char* chosen = std::getenv(variable);
  const char* home = std::getenv("HOME");
  return chosen != nullptr && chosen[0] == '/' ? std::string(chosen)
         : home != nullptr && home[0] == '/'   ? std::string(home) + home_sub
                                               : std::string("/tmp");
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FolderRefusesFiles(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  return ::access(folder.c_str(), W_OK | X_OK) != 0 && (errno == EROFS || errno == EACCES);
}

}  // namespace velkaro
