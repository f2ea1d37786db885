#pragma once

#include "image/bmp_rows.h"
#include "platform/status.h"

#include <cpl_vsi.h>
#include <string>

namespace velkaro::gis {

// Encodes the plan as a baseline JPEG at `quality` (1 to 100) into `out`, one
// row at a time. The standard Huffman tables make it a single pass, so only a
// band of 16 rows is ever held; GDAL's JPEG writer optimizes its tables,
// which makes libjpeg keep the whole image's coefficients, about 3 bytes a
// pixel, and a 100-megapixel plan would sit in memory once more.
//
// Ok once the whole image was written to `out`, which the caller closes.
// A plan that cannot be read fails with the row reader's own status; a
// failure of libjpeg (a write to `out` among others) is Invalid with path
// `out_name`, the name the user knows the output by, and the text
// "cannot write OUT_NAME: " followed by libjpeg's words.
Status WriteJpegRows(image::BmpRows& plan, int quality, VSILFILE* out, const std::string& out_name);

}  // namespace velkaro::gis
