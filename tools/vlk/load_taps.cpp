#include "tools/vlk/load_taps.h"

#include "site/tap_file.h"

#include <cstdio>

namespace velkaro::vlk {

bool LoadTaps(const std::string& path, CSiteProjection& projection) {
  TapFile file = ReadTapFile(path);
  if (!file.status.ok()) {
    std::fprintf(stderr, "vlk: %s\n", file.status.message().c_str());
    return false;
  }
  projection.m_taps = std::move(file.taps);
  return true;
}

}  // namespace velkaro::vlk
