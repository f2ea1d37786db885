// Track files are outside input: any bytes must load without a crash, and
// every point kept must lie on the globe.
#include "simulator/track.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const velkaro::board::Track track = velkaro::board::ParseTrack(text);
  for (const auto& p : track.points) {
    if (p.lat_mas < -324000000 || p.lat_mas > 324000000) std::abort();
    if (p.lon_mas < -648000000 || p.lon_mas > 648000000) std::abort();
  }
  return 0;
}
