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

  std::atomic<bool> g_bStopWorker{false};
  bool g_bFirstIdle = true;
  int64_t lastActivity = 0;  // seconds; the last keep-alive or write
  int64_t now = 0;           // seconds; the clock at the last quiet pass without a write
};

// What one pass of the worker did.
enum class LinkPass {
  Received,    // bytes were read and fed to the parser
  Wrote,       // a queued request was written (or, with no port, dropped)
  ClockStart,  // the first quiet pass started the keep-alive clock
  KeepAlive,   // the line was quiet too long: a keep-alive was queued
  Slept,       // nothing to do: slept 5 ms
};

// One pass of the worker's loop. Reading comes first; writing and the
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
  // A worker that is still running is stopped first.
  void Start(CCom& com, CParser& parser, CEngine& engine, IClock& clock);
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
