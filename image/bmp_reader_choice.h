#pragma once

// Which reader takes a plan bitmap. The row reader here turns a file into
// exactly the pixels a general-purpose BMP reader (the one the program
// shows every other kind of bitmap with) gives, for the kinds plans nearly
// always are; only for those is it trusted, and those it reads in one pass
// without holding anything but the picture. Every other kind stays with the
// general reader, judged as that reader always judged it, so a file shows
// the same pixels and meets the same refusals whichever reader took it.

#include "image/bmp_layout.h"

namespace velkaro::image {

enum class BmpReader {
  kRows,     // BmpRows (or BmpRowStream) straight into the picture
  kGeneral,  // the general-purpose reader
};

// The reader for a file whose headers parsed into `layout`. A file whose
// headers do not parse goes to the general reader too.
[[nodiscard]] BmpReader ChooseBmpReader(const BmpLayout& layout);

}  // namespace velkaro::image
