#pragma once

#include "image/bmp_layout.h"

#include <cstdint>

namespace velkaro::image {

// Converts one stored row of raw pixels (1, 2, 4, 8, 16, 24 or 32 bits, as
// `layout` describes them) into 3 * width bytes of 8-bit RGB.
void StoredRowToRgb(const BmpLayout& layout, const uint8_t* stored, uint8_t* rgb);

// Converts `width` palette indices into 8-bit RGB.
void IndicesToRgb(const BmpLayout& layout, const uint8_t* indices, uint8_t* rgb);

}  // namespace velkaro::image
