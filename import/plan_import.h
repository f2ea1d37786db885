#pragma once

// A plan given as any picture rather than a bitmap. The picture is converted
// once into a 24-bit bitmap beside it ("site.pdf" gives "site.pdf.bmp"), and
// that bitmap is the plan from then on: it is shown, tapped on and saved
// into projection files exactly as a bitmap the user chose would be. The
// reference-point journal is kept beside the source ("site.pdf.points"), so
// the points follow the file the user knows. A source whose folder cannot be
// written has its bitmap in the user's cache folder instead.
//
// A PDF page other than the first, or a resolution the user chose, gives a
// bitmap (and a journal) of its own: "site.pdf.page2.bmp",
// "site.pdf.300dpi.bmp", as their pixels, and so the points' pixels, differ.

#include "import/raster_to_bmp.h"
#include "platform/status.h"

#include <string>

namespace velkaro::plan_import {

// Whether the plan at `path` is a Windows bitmap, read as bitmaps always
// were: its name ends in ".bmp" (any case) or its first bytes are "BM".
// Files that do not open count as bitmaps, so that they fail as they did.
bool IsBmpPlan(const std::string& path);

struct ImportedPlan {
  Status status;
  std::string bitmap;  // the plan bitmap, once status is ok
  std::string points;  // the journal beside the source
  // Non-empty when the bitmap is in the cache folder: the sentence that
  // tells the user where and why.
  std::string note;
  bool reused = false;  // the bitmap of an earlier import, newer than the source
};

// The bitmap for `source`: the one an earlier import left while it is newer
// than the source, else a new conversion (ConvertToBmp). Any thread.
ImportedPlan ImportPlan(const std::string& source, const SourceChoice& choice = {},
                        const ImportProgress& progress = {});

// The user's cache folder for converted plans: $XDG_CACHE_HOME/velkaro,
// else ~/.cache/velkaro.
std::string CacheFolder();

}  // namespace velkaro::plan_import
