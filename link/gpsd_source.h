#pragma once

#include "link/engine.h"
#include "link/event.h"
#include "link/gps_data.h"
#include "link/gpsd_address.h"
#include "link/gpsd_connection.h"
#include "link/gpsd_reader.h"
#include "platform/message_box.h"

#include <atomic>
#include <future>
#include <string>
#include <thread>

namespace velkaro {

// gpsd as the position source in place of the board: a worker thread reads
// gpsd's reports and hands each TPV report to the engine's PublishFix, the
// path the board's position frames take; device reports set the engine's
// identity texts. A connection that fails or closes is opened again about
// once a second, for as long as the source runs.
//
// Threads: Start and Stop run on one thread (the UI thread in the program);
// the reading runs on the source's own worker. Start may wait up to about
// a second for gpsd to answer; nothing else ever waits for gpsd.
// Lifetimes: `engine` must outlive the source; the source stops
// its worker when destroyed.
class GpsdSource : private IGpsdReportSink {
 public:
  static constexpr int kRetryMs = 1000;

  explicit GpsdSource(CEngine& engine) : engine_(engine) {}
  ~GpsdSource() override { Stop(); }
  GpsdSource(const GpsdSource&) = delete;
  GpsdSource& operator=(const GpsdSource&) = delete;

  // Registers `sink` for board updates, connects to gpsd at `address` and
  // starts the worker. When gpsd cannot be reached, "Cannot connect to gpsd
  // at HOST:PORT." is shown in `messages` and the worker keeps trying, so
  // the program runs on and picks gpsd up once it is there. A source that
  // runs is stopped first.
  void Start(const GpsdAddress& address, IMessageBox& messages, IBoardUpdateSink* sink);

  // Unregisters the sink, stops the worker and closes the connection.
  // Returns within about GpsdReader::kWaitSlice, or one connection attempt
  // when the worker is in one. Idempotent.
  void Stop();

  bool Running() const { return worker_.joinable(); }
  // Whether the worker holds an open connection to gpsd right now.
  bool Connected() const { return connected_.load(std::memory_order_acquire); }

  // The message shown when gpsd cannot be reached at `address`.
  static std::string CannotConnectText(const GpsdAddress& address);

 private:
  // The worker's loop; tells `first` whether the first attempt connected.
  void Run(std::promise<bool>* first);
  void OnFix(const CGpsData& record) override;
  void OnIdentity(const GpsdIdentity& identity) override;

  CEngine& engine_;
  GpsdAddress address_;
  GpsdConnection connection_;  // the worker's
  GpsdReader reader_;          // the worker's
  std::atomic<bool> stop_{false};
  ManualResetEvent stopping_;  // wakes the worker from its pause between attempts
  std::atomic<bool> connected_{false};
  std::thread worker_;
};

}  // namespace velkaro
