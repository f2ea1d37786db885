#pragma once

#include "image/bmp_rows.h"

#include <cpl_vsi.h>
#include <string>

namespace velkaro::gis {

// Encodes the plan as a baseline JPEG at `quality` (1 to 100) into `out`, one
// row at a time. The standard Huffman tables make it a single pass, so only a
// band of 16 rows is ever held; GDAL's JPEG writer optimizes its tables,
// which makes libjpeg keep the whole image's coefficients, about 3 bytes a
// pixel, and a 100-megapixel plan would sit in memory once more.
//
// What went wrong, if anything: the plan could not be read, or libjpeg
// failed (a write to `out` among others). Both empty once the whole image
// was written to `out`, which the caller closes.
struct [[nodiscard]] JpegOutcome {
  std::string read_error;  // the row reader's text
  std::string jpeg_error;  // libjpeg's text
  bool ok() const { return read_error.empty() && jpeg_error.empty(); }
};

JpegOutcome WriteJpegRows(image::BmpRows& plan, int quality, VSILFILE* out);

}  // namespace velkaro::gis
