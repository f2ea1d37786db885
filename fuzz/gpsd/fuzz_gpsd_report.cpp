// What gpsd reports, as libgps hands it over, into the GPS record and the
// identity texts: any mode, status, position and time (NaN, infinities,
// times gmtime cannot express), device texts that fill their arrays to the
// last byte, and report classes read from any bytes. The record carried
// from report to report must only ever hold a valid position, a lock only
// for a real 3-D fix, and every text must fit its field.
#include "link/engine.h"
#include "link/gpsd_report.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <gps.h>
#include <string_view>

namespace {

using velkaro::CEngine;
using velkaro::CGpsData;

void Check(bool ok) {
  if (!ok) std::abort();
}

template <size_t N>
void Fill(FuzzedDataProvider& in, char (&field)[N]) {
  in.ConsumeData(field, N);  // no terminating zero guaranteed
}

velkaro::CCom* com = new velkaro::CCom;
velkaro::Published<CGpsData>* gps = new velkaro::Published<CGpsData>;
velkaro::SystemClock* clock = new velkaro::SystemClock;
CEngine* engine = new CEngine(*com, *gps, *clock);
CGpsData* record = new CGpsData;  // carried from input to input, as from report to report

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const velkaro::GpsdReportKind kind = velkaro::ClassifyGpsdReport(text);
  Check(kind == velkaro::GpsdReportKind::kOther || text.substr(0, 10) == "{\"class\":\"");

  FuzzedDataProvider in(data, size);
  gps_fix_t fix;
  std::memset(&fix, 0, sizeof fix);
  fix.mode = in.ConsumeIntegral<int>();
  fix.status = in.ConsumeIntegral<int>();
  fix.latitude = in.ConsumeFloatingPoint<double>();
  fix.longitude = in.ConsumeFloatingPoint<double>();
  if (in.ConsumeBool()) {
    fix.latitude = std::nan("");
  }
  fix.time.tv_sec = in.ConsumeIntegral<time_t>();
  fix.time.tv_nsec = in.ConsumeIntegral<long>();

  velkaro::ApplyGpsdFix(fix, *record);
  Check(std::fabs(record->m_latB) <= 90.0 && std::fabs(record->m_lonB) <= 180.0);
  Check(record->m_latA == record->m_latB && record->m_lonA == record->m_lonB);
  if (record->m_fixMode == velkaro::board::kFixMode3D) {
    Check(fix.mode == MODE_3D && fix.latitude == record->m_latB && fix.longitude == record->m_lonB);
    Check(fix.status != STATUS_SIM && fix.status != STATUS_DR && fix.status != STATUS_TIME);
  }
  char line[CGpsData::kFixLineSize];
  record->FormatFix(line);
  Check(std::strlen(line) < sizeof line);

  devconfig_t device;
  std::memset(&device, 0, sizeof device);
  Fill(in, device.path);
  Fill(in, device.driver);
  Fill(in, device.subtype);
  Fill(in, device.subtype1);
  const velkaro::GpsdIdentity identity = velkaro::IdentityFromGpsd(device);
  Check(identity.serial.size() <= sizeof device.path);
  engine->SetIdentity(identity.firmware, identity.serial);
  char firmware[CEngine::kFirmwareSize];
  char serial[CEngine::kSerialSize];
  engine->GetFirmware(firmware);
  engine->GetSerial(serial);
  Check(std::strlen(firmware) < sizeof firmware && std::strlen(serial) < sizeof serial);
  return 0;
}
