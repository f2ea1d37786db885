#include "link/gpsd_reader.h"

#include <gps.h>

namespace velkaro {

GpsdReader::End GpsdReader::Pump(GpsdConnection& connection, const std::atomic<bool>& stop,
                                 IGpsdReportSink& sink) {
  while (!stop.load(std::memory_order_acquire)) {
    switch (connection.Next(kWaitSlice)) {
      case GpsdConnection::Result::kReport:
        Handle(connection, sink);
        break;
      case GpsdConnection::Result::kClosed:
        return End::kClosed;
      case GpsdConnection::Result::kNothing:
        break;
    }
  }
  return End::kStopped;
}

void GpsdReader::Handle(const GpsdConnection& connection, IGpsdReportSink& sink) {
  const gps_data_t& data = connection.Data();
  switch (ClassifyGpsdReport(connection.Report())) {
    case GpsdReportKind::kTpv:
      // A TPV report names its device too, which keeps the serial-number
      // text on the receiver the fixes come from.
      Identify(IdentityFromGpsd(data.dev), sink);
      ApplyGpsdFix(data.fix, record_);
      sink.OnFix(record_);
      break;
    case GpsdReportKind::kSky:
      ApplyGpsdSky(data, record_);
      break;
    case GpsdReportKind::kDevice:
      Identify(IdentityFromGpsd(data.dev), sink);
      break;
    case GpsdReportKind::kDevices:
      // The list gpsd sends when the watch starts: with one receiver, that
      // is the one; with more, their own reports will tell.
      if (data.devices.ndevices == 1) Identify(IdentityFromGpsd(data.devices.list[0]), sink);
      break;
    case GpsdReportKind::kOther:
      break;
  }
}

void GpsdReader::Identify(const GpsdIdentity& identity, IGpsdReportSink& sink) {
  GpsdIdentity known = identity_;
  if (!identity.firmware.empty()) known.firmware = identity.firmware;
  if (!identity.serial.empty()) known.serial = identity.serial;
  if (known == identity_) return;
  identity_ = known;
  sink.OnIdentity(identity_);
}

}  // namespace velkaro
