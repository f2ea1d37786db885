#pragma once

#include <string>

namespace velkaro::gis {

// Readies GDAL for the exports, once per process: registers its drivers,
// bounds its block cache (so a plan streamed through GDAL is never cached
// whole) and turns off its .aux.xml side files, which would otherwise appear
// beside a written image. Safe to call more than once.
void StartGdal();

// While alive, GDAL's error messages are kept here instead of being printed,
// so a failed export reports them in its own message. Nests with other
// handlers; one thread.
class GdalErrorTrap {
 public:
  GdalErrorTrap();
  ~GdalErrorTrap();
  GdalErrorTrap(const GdalErrorTrap&) = delete;
  GdalErrorTrap& operator=(const GdalErrorTrap&) = delete;

  // True once GDAL has reported a failure.
  bool failed() const { return failed_; }
  // The first failure's text, or `fallback` when GDAL gave none.
  std::string Message(const std::string& fallback) const;

  // Called by GDAL's error handler.
  void Record(bool failure, const char* message);

 private:
  bool failed_ = false;
  std::string message_;
};

}  // namespace velkaro::gis
