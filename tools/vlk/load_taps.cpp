#include "tools/vlk/load_taps.h"

#include "site/tap_file.h"

#include <cstdio>

namespace velkaro::vlk {

bool LoadTaps(const std::string& path, CSiteProjection& projection) {
  TapFile file = ReadTapFile(path);
  if (!file.ok) {
    std::fprintf(stderr, "vlk: %s\n", file.error.c_str());
    return false;
  }
  projection.m_taps = std::move(file.taps);
  return true;
}

}  // namespace velkaro::vlk
