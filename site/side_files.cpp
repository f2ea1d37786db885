#include "site/side_files.h"

#include "platform/path_names.h"

#include <cstdlib>

namespace velkaro {

std::string FallbackPointsPath(const std::string& points_path) {
  return UserFolder("XDG_DATA_HOME", "/.local/share") + "/velkaro/points/" +
         FlatPathName(points_path);
}

std::string CacheSideFilePath(const std::string& path, SideFile kind) {
  return UserFolder("XDG_CACHE_HOME", "/.cache") + "/velkaro/files/" +
         FlatPathName(SideFilePath(path, kind));
}

}  // namespace velkaro
