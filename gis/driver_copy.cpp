#include "gis/driver_copy.h"

#include <gdal_priv.h>

namespace velkaro::gis {

std::string WriteFailure(const GdalErrorTrap& trap, const SiblingOutput& output,
                         const std::string& out_path) {
  return "cannot write " + out_path + ": " + output.InTargetTerms(trap.Message("GDAL failed"));
}

std::string CopyThroughDriver(const char* driver, PlanDataset& source,
                              const CPLStringList& options, SiblingOutput& output,
                              const GdalErrorTrap& trap, const std::string& out_path) {
  GDALDriver* writer = GetGDALDriverManager()->GetDriverByName(driver);
  if (writer == nullptr)
    return "cannot write " + out_path + ": GDAL has no " + driver + " driver";
  GDALDataset* written =
      writer->CreateCopy(output.temp().c_str(), &source, FALSE, options.List(), nullptr, nullptr);
  // Closing writes the last tiles and the directories; failures there count.
  if (written != nullptr) GDALClose(written);
  if (!source.error().empty()) return source.error();
  if (written == nullptr || trap.failed()) return WriteFailure(trap, output, out_path);
  return output.Commit();
}

}  // namespace velkaro::gis
