#pragma once

#include "link/gps_data.h"
#include "link/gpsd_connection.h"
#include "link/gpsd_report.h"

#include <atomic>
#include <chrono>

namespace velkaro {

// Told what the reader makes of gpsd's reports, on the reading thread.
class IGpsdReportSink {
 public:
  virtual ~IGpsdReportSink() = default;
  // After each TPV report: the whole record with that report applied.
  virtual void OnFix(const CGpsData& record) = 0;
  // When the receiver's identity changes: a text left empty is unknown.
  virtual void OnIdentity(const GpsdIdentity& identity) = 0;
};

// Reads gpsd's reports into one GPS record and the receiver's identity: the
// reading that the application's gpsd source and `vlk watch` share. The
// record lives as long as the reader, across connections, so a report
// without a position keeps the last one received on any of them.
//
// Threads: not thread-safe; `stop` may be set from any thread.
class GpsdReader {
 public:
  // The longest single wait for a report: how late `stop` may be seen.
  static constexpr std::chrono::milliseconds kWaitSlice{100};

  enum class End {
    kStopped,  // `stop` was set; the connection is still open
    kClosed,   // gpsd closed the connection; it is closed now
  };

  // Reads reports from `connection` and tells `sink` about each, until
  // `stop` is set or the connection ends. REQUIRES: connection.IsOpen().
  End Pump(GpsdConnection& connection, const std::atomic<bool>& stop, IGpsdReportSink& sink);

  const CGpsData& Record() const { return record_; }

 private:
  void Handle(const GpsdConnection& connection, IGpsdReportSink& sink);
  void Identify(const GpsdIdentity& identity, IGpsdReportSink& sink);

  CGpsData record_;
  GpsdIdentity identity_;
};

}  // namespace velkaro
