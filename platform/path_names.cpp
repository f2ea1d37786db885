#include "platform/path_names.h"

#include <cerrno>
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
