#pragma once

// A synthetic site plan as a 24-bit .bmp file: large flat areas, lines of a
// few colours, text-like specks and a photo-like gradient patch, roughly the
// byte statistics of a scanned or exported plan.

#include <cstdint>
#include <vector>

namespace velkaro::bench {

// The whole file, headers included. REQUIRES: width and height > 0.
std::vector<uint8_t> MakePlanBitmap(int width, int height, uint32_t seed);

}  // namespace velkaro::bench
