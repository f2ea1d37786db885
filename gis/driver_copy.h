#pragma once

#include "gis/gdal_session.h"
#include "gis/plan_dataset.h"
#include "gis/sibling_output.h"

#include <cpl_string.h>
#include <string>

namespace velkaro::gis {

// "cannot write OUT: " and GDAL's first failure, in the target's terms.
std::string WriteFailure(const GdalErrorTrap& trap, const SiblingOutput& output,
                         const std::string& out_path);

// Writes `source` through GDAL's driver `driver` with `options` to the
// output's temporary name, closes it (the last blocks are written then)
// and commits it over `out_path`. Empty on success, else the first
// failure's text: the plan's own read error before GDAL's.
std::string CopyThroughDriver(const char* driver, PlanDataset& source,
                              const CPLStringList& options, SiblingOutput& output,
                              const GdalErrorTrap& trap, const std::string& out_path);

}  // namespace velkaro::gis
