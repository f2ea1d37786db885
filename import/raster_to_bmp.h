#pragma once

#include "platform/status.h"

#include <functional>
#include <string>

namespace velkaro::plan_import {

// Which picture of a source to take: a PDF's page (1 = first) and the
// resolution it is rendered at (0: automatic, see pdf_pages.h). Other
// sources have one picture and no resolution of their own to choose.
struct SourceChoice {
  int page = 1;
  double dpi = 0.0;
};

using ImportProgress = std::function<void(double done)>;

// Converts the picture at `source` (anything GDAL's raster drivers read)
// into a 24-bit bitmap at `out`, all or nothing: the rows stream from GDAL a
// strip at a time into their places in the file, so neither the decoded
// picture nor the bitmap is ever held whole. Grey is spread to the three
// channels, palettes are expanded, 16-bit channels keep their high byte, and
// alpha is dropped as it is from bitmap plans.
//
// Fails with "SOURCE is not a picture Velkaro can read (PNG, JPEG, TIFF,
// PDF or BMP)." (kUnsupported) when no reader takes the file, with GDAL's
// words when a taken file fails to decode, and with a file error on `out`
// when the bitmap cannot be written; `out` is then as it was. `progress`,
// when given, gets the share done (0..1) on the calling thread.
//
// Thread safety: any thread; GDAL's error handler is trapped per thread.
Status ConvertToBmp(const std::string& source, const std::string& out,
                    const SourceChoice& choice = {}, const ImportProgress& progress = {});

// The text for a file no reader takes.
std::string NotAPictureText(const std::string& source);

}  // namespace velkaro::plan_import
