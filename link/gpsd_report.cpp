#include "link/gpsd_report.h"

#include "link/board_message.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <gps.h>

namespace velkaro {
namespace {

bool HasPosition(const gps_fix_t& fix) {
  return std::isfinite(fix.latitude) && std::isfinite(fix.longitude) &&
         std::fabs(fix.latitude) <= 90.0 && std::fabs(fix.longitude) <= 180.0;
}

// libgps leaves the time zero when the report carried none.
bool FixTime(const gps_fix_t& fix, std::tm* utc) {
  if (fix.time.tv_sec == 0 && fix.time.tv_nsec == 0) return false;
  const std::time_t seconds = fix.time.tv_sec;
  return ::gmtime_r(&seconds, utc) != nullptr;
}

// The record's fields are 16 bits wide and keep whatever bits they are given.
int16_t Field(int value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

// libgps terminates its texts; the bound keeps a record filled in any other
// way from being read past its array.
template <std::size_t N>
std::string_view Text(const char (&field)[N]) {
  return std::string_view(field, ::strnlen(field, N));
}

}  // namespace

GpsdReportKind ClassifyGpsdReport(std::string_view json) {
  constexpr std::string_view kPrefix = "{\"class\":\"";
  if (json.substr(0, kPrefix.size()) != kPrefix) return GpsdReportKind::kOther;
  const std::string_view rest = json.substr(kPrefix.size());
  // The closing quote tells DEVICE from DEVICES.
  if (rest.substr(0, 4) == "TPV\"") return GpsdReportKind::kTpv;
  if (rest.substr(0, 4) == "SKY\"") return GpsdReportKind::kSky;
  if (rest.substr(0, 7) == "DEVICE\"") return GpsdReportKind::kDevice;
  if (rest.substr(0, 8) == "DEVICES\"") return GpsdReportKind::kDevices;
  return GpsdReportKind::kOther;
}

uint8_t FixModeFromGpsd(const gps_fix_t& fix) {
  if (fix.mode == MODE_3D) {
    if (fix.status == STATUS_SIM || fix.status == STATUS_DR) return board::kFixPropagate;
    if (fix.status == STATUS_TIME || !HasPosition(fix)) return board::kFixAcquiring;
    return board::kFixMode3D;
  }
  return fix.mode == MODE_2D ? board::kFixMode2D : board::kFixAcquiring;
}

void ApplyGpsdFix(const gps_fix_t& fix, CGpsData& record) {
  record.m_fixMode = FixModeFromGpsd(fix);
  record.m_status = static_cast<uint8_t>(record.m_fixMode << board::kFixModeShift);
  record.m_statusWord[0] = record.m_status;
  record.m_bFresh = true;

  std::tm utc{};
  if (FixTime(fix, &utc)) {
    record.m_month = Field(utc.tm_mon + 1);
    record.m_day = Field(utc.tm_mday);
    record.m_year = Field(utc.tm_year + 1900);
    record.m_hour = Field(utc.tm_hour);
    record.m_minute = Field(utc.tm_min);
    record.m_second = Field(utc.tm_sec);
  }
  if (HasPosition(fix)) {
    record.m_latA = record.m_latB = fix.latitude;
    record.m_lonA = record.m_lonB = fix.longitude;
  }
  // gpsd's own horizontal estimate where it gives one, else the two axes'.
  if (std::isfinite(fix.eph))
    record.horizontal_error_m = fix.eph;
  else if (std::isfinite(fix.epx) && std::isfinite(fix.epy))
    record.horizontal_error_m = std::hypot(fix.epx, fix.epy);
  else
    record.horizontal_error_m = CGpsData::kUnknown;
}

void ApplyGpsdSky(const gps_data_t& sky, CGpsData& record) {
  record.hdop = std::isfinite(sky.dop.hdop) && sky.dop.hdop > 0 ? sky.dop.hdop : CGpsData::kUnknown;
  record.satellites_used = sky.satellites_used >= 0 ? sky.satellites_used : -1;
  record.satellites_seen = sky.satellites_visible >= 0 ? sky.satellites_visible : -1;
}

GpsdIdentity IdentityFromGpsd(const devconfig_t& device) {
  GpsdIdentity identity;
  for (std::string_view part : {Text(device.driver), Text(device.subtype), Text(device.subtype1)}) {
    if (part.empty()) continue;
    if (!identity.firmware.empty()) identity.firmware += ' ';
    identity.firmware += part;
  }
  identity.serial = std::string(Text(device.path));
  return identity;
}

}  // namespace velkaro
