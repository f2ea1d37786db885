#pragma once

#include "link/com.h"
#include "link/engine.h"
#include "link/parser.h"
#include "platform/clock.h"

#include <atomic>
#include <cstdint>
#include <thread>

namespace velkaro {

// The link worker's own state. Only the worker touches g_bFirstIdle,
// lastActivity and now; g_bStopWorker may be set from any thread.
struct LinkWorkerState {
  static constexpr uint32_t kReceiveSize = 4096;  // the driver's input queue
  static constexpr int64_t kKeepAliveSeconds = 10;
  static constexpr int kQuietSleepMs = 5;
  static constexpr int64_t kReopenEveryMs = 1000;

  std::atomic<bool> g_bStopWorker{false};
  bool g_bFirstIdle = true;
  int64_t lastActivity = 0;  // seconds; the last keep-alive or write
  int64_t now = 0;           // seconds; the clock at the last quiet pass without a write
  // Where a lost or missing line is opened again; null: it is not.
  ISerialPortOpener* opener = nullptr;
  int64_t next_reopen_ms = 0;  // monotonic; the earliest next try
};

// What one pass of the worker did.
enum class LinkPass {
  Received,    // bytes were read and fed to the parser
  Wrote,       // a queued request was written (or, with no port, dropped)
  ClockStart,  // the first quiet pass started the keep-alive clock
  KeepAlive,   // the line was quiet too long: a keep-alive was queued
  Slept,       // nothing to do: slept 5 ms
  LineLost,    // the port failed and was closed
  Reopened,    // the line was opened again and the start-up frame queued
};

// One pass of the worker's loop. A port that is lost is closed first; with
// no port and an opener, the same name is tried again about once a second
// (never sooner), and once it opens the start-up frame is queued so the
// board's identity is asked for again. Reading comes next; writing and the
// keep-alive happen only in passes with nothing to read. Each complete frame
// goes to engine.HandleFrame and the parser is reset after it.
LinkPass RunLinkWorkerPass(CCom& com, CParser& parser, CEngine& engine, IClock& clock,
                           LinkWorkerState& state);

// The worker's loop: resets the parser and the clock state, then runs passes
// while g_bStopWorker is clear. Returns 0.
int LinkWorkerProc(CCom& com, CParser& parser, CEngine& engine, IClock& clock,
                   LinkWorkerState& state);

// Owns the worker thread. Start it after CCom::Open; Stop it before the link
// is closed or destroyed. Not thread-safe: start and stop it from one thread.
class LinkWorker {
 public:
  LinkWorker() = default;
  ~LinkWorker() { Stop(); }
  LinkWorker(const LinkWorker&) = delete;
  LinkWorker& operator=(const LinkWorker&) = delete;

  // Starts the loop on a new thread. The collaborators must outlive Stop().
  // With `opener`, a lost or missing line is opened again by the worker.
  // A worker that is still running is stopped first.
  void Start(CCom& com, CParser& parser, CEngine& engine, IClock& clock,
             ISerialPortOpener* opener = nullptr);
  // Sets g_bStopWorker and waits until the loop has ended. Idempotent.
  void Stop();
  bool Running() const { return thread_.joinable(); }
  // The loop's state: g_bStopWorker may be read or set from any thread.
  LinkWorkerState& State() { return state_; }

 private:
  LinkWorkerState state_;
  CCom* com_ = nullptr;
  std::thread thread_;
};

}  // namespace velkaro
