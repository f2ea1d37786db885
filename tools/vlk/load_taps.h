#pragma once

#include "site/site_projection.h"

#include <string>

namespace velkaro::vlk {

// Reads the tap file at `path` (site/tap_file.h) into `projection`'s points,
// in capture order. A bad file is reported on standard error
// ("vlk: LINE: ...") and leaves the points as they were; returns whether it
// was read.
bool LoadTaps(const std::string& path, CSiteProjection& projection);

}  // namespace velkaro::vlk
