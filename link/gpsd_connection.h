#pragma once

#include "link/gpsd_address.h"

#include <chrono>
#include <memory>
#include <string_view>

struct gps_data_t;

namespace velkaro {

// One connection to gpsd through libgps, watching its JSON reports.
//
// Threads: not thread-safe; one thread uses it at a time. It may be opened
// on one thread and handed to another before that one starts.
class GpsdConnection {
 public:
  // How long Open waits at most for gpsd to accept the connection.
  static constexpr std::chrono::milliseconds kConnectTimeout{1000};

  GpsdConnection();
  ~GpsdConnection();
  GpsdConnection(const GpsdConnection&) = delete;
  GpsdConnection& operator=(const GpsdConnection&) = delete;

  // Connects to `address` and asks for a stream of JSON reports. Returns
  // false, with nothing open, when gpsd cannot be reached. libgps connects
  // without a timeout, so the address is first tried without blocking for
  // at most `timeout`: a host that never answers costs no more than that.
  bool Open(const GpsdAddress& address, std::chrono::milliseconds timeout = kConnectTimeout);
  void Close();
  bool IsOpen() const { return open_; }

  enum class Result {
    kNothing,  // no complete report within the timeout
    kReport,   // Data() and Report() hold the report just read
    kClosed,   // gpsd closed the connection or it failed; it is closed now
  };
  // Waits at most `timeout` for the next report. REQUIRES: IsOpen().
  Result Next(std::chrono::milliseconds timeout);

  // libgps's decoding of everything read so far, and the last report's text.
  const gps_data_t& Data() const { return *data_; }
  std::string_view Report() const { return report_; }

 private:
  // gpsd's reports are at most a few kilobytes; libgps cuts longer ones,
  // and only the start of a report (its class) is read from this copy.
  static constexpr int kReportSize = 10240;

  std::unique_ptr<gps_data_t> data_;
  std::unique_ptr<char[]> report_buffer_;
  std::string_view report_;
  bool open_ = false;
};

}  // namespace velkaro
