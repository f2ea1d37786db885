#include "gis/gdal_session.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <mutex>

namespace velkaro::gis {
namespace {

// Room for a few swaths of a wide plan's tiles; a plan larger than this is
// streamed through it rather than held.
constexpr GIntBig kBlockCacheBytes = 64 << 20;

void CPL_STDCALL TrapError(CPLErr error_class, CPLErrorNum, const char* message) {
  static_cast<GdalErrorTrap*>(CPLGetErrorHandlerUserData())
      ->Record(error_class >= CE_Failure, message);
}

}  // namespace

void StartGdal() {
  static std::once_flag once;
  std::call_once(once, [] {
    CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
    GDALAllRegister();
    GDALSetCacheMax64(kBlockCacheBytes);
  });
}

GdalErrorTrap::GdalErrorTrap() { CPLPushErrorHandlerEx(TrapError, this); }

GdalErrorTrap::~GdalErrorTrap() { CPLPopErrorHandler(); }

void GdalErrorTrap::Record(bool failure, const char* message) {
  // Warnings are GDAL's remarks on what it chose to do; only failures count.
  if (!failure || failed_) return;
  failed_ = true;
  message_ = message != nullptr ? message : "";
}

std::string GdalErrorTrap::Message(const std::string& fallback) const {
  return message_.empty() ? fallback : message_;
}

}  // namespace velkaro::gis
