#pragma once

// Three kinds of site plan as 24-bit .bmp files, made from a seed so every
// run codes the same bytes:
//  - a drawn plan: large flat areas, lines of a few colours, text-like specks
//    and a photo-like patch, the byte statistics of an exported plan;
//  - a scanned drawing: fine dark lines and lettering on white paper, every
//    pixel touched by scanner noise, so no two neighbouring bytes need agree;
//  - an aerial photograph: smooth texture plus grain over the whole frame,
//    which a byte-wise code shrinks only to about 0.97 of its size.

#include <cstdint>
#include <vector>

namespace velkaro::bench {

// Each returns the whole file, headers included. REQUIRES: width and height > 0.
std::vector<uint8_t> MakePlanBitmap(int width, int height, uint32_t seed);
std::vector<uint8_t> MakeScannedDrawingBitmap(int width, int height, uint32_t seed);
std::vector<uint8_t> MakeAerialBitmap(int width, int height, uint32_t seed);

}  // namespace velkaro::bench
