#pragma once

#include "link/com.h"
#include "link/engine.h"
#include "link/gps_data.h"
#include "link/link_worker.h"
#include "link/parser.h"
#include "link/published.h"
#include "platform/clock.h"
#include "platform/device_registry.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"

#include <string>

namespace velkaro {

// The board link's objects, wired once: the serial connection, the frame
// parser, the published GPS record and the engine that fills it, stamping
// each record on `clock`, which must outlive the link. The program keeps one
// for its run (the design's g_com, g_parser, g_gps and g_engine are its
// members); tools and tests build their own.
struct BoardLink {
  explicit BoardLink(IClock& clock) : engine{com, gps, clock} {}

  CCom com;
  CParser parser;
  Published<CGpsData> gps;
  CEngine engine;
};

// One run of the board link, started and stopped in the order the program
// has always used.
//
// Threads: Start and Stop run on one thread (the UI thread in the program).
// Lifetimes: `link` and `clock` must outlive the session; the session stops
// the worker when destroyed.
class BoardSession {
 public:
  // The board needs these pauses after the line opens and after the start-up
  // frame before it answers reliably.
  static constexpr int kStartupPauseMs = 2000;

  BoardSession(BoardLink& link, IClock& clock) : link_(link), clock_(clock) {}
  ~BoardSession() { Stop(); }
  BoardSession(const BoardSession&) = delete;
  BoardSession& operator=(const BoardSession&) = delete;

  // Registers `sink` for board updates, opens the line (the registry search,
  // or `port_override` when not empty), pauses, starts the link worker,
  // queues the start-up frame and pauses again. An open failure is shown in
  // `messages` and the sequence goes on, so the program runs without a board.
  void Start(const IDeviceRegistry& registry, ISerialPortOpener& opener, IMessageBox& messages,
             const std::string& port_override, IBoardUpdateSink* sink);

  // Unregisters the sink and stops the worker; the port stays open until the
  // link is closed or destroyed. Idempotent.
  void Stop();

  bool Running() const { return worker_.Running(); }
  LinkWorker& Worker() { return worker_; }

 private:
  BoardLink& link_;
  IClock& clock_;
  LinkWorker worker_;
};

}  // namespace velkaro
