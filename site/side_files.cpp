#include "site/side_files.h"

#include "platform/path_names.h"

#include <cstdlib>

namespace velkaro {

std::string FallbackPointsPath(const std::string& points_path) {
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  std::string folder = data != nullptr && data[0] == '/' ? std::string(data)
                       : home != nullptr && home[0] == '/' ? std::string(home) + "/.local/share"
                                                           : std::string("/tmp");
  return folder + "/velkaro/points/" + FlatPathName(points_path);
}

}  // namespace velkaro
