#pragma once

// The clock for tests and the scripted demo: time driven by hand or read
// from the machine, and start-up pauses that are never waited out.

#include "platform/clock.h"
#include "tests/support/event_trail.h"

#include <atomic>
#include <cstdint>

namespace velkaro::testing {

// Time is driven unless Options::system_time asks for the machine's clocks:
// the wall clock reads `seconds`, and the monotonic clock stands at the
// machine's reading when the clock was made. Either way the monotonic clock
// reads `ahead_ms` further on, which is how a test ages what the engine
// received: the engine stamps each record on the same clock, so a record
// arrives fresh and grows stale as the test moves the clock. A pause of
// kLongPauseMs or more (the start-up pauses) is never slept: it is counted
// and, with a trail, logged as "sleep N". Shorter naps (the link worker's
// between passes) are slept for real with Options::sleep_naps, so that a
// worker thread does not spin, and otherwise only counted.
//
// Thread-safe: the link worker reads and sleeps on it while the test moves
// it and reads its counters.
class FakeClock : public IClock {
 public:
  static constexpr int kLongPauseMs = 1000;

  struct Options {
    bool system_time = false;     // read the machine's clocks, not the driven ones
    bool sleep_naps = false;      // sleep naps shorter than kLongPauseMs for real
    EventTrail* trail = nullptr;  // where long pauses are logged; must outlive the clock
  };

  FakeClock();
  explicit FakeClock(Options options);

  int64_t NowSeconds() override;
  int64_t NowMonotonicMs() override;
  void SleepMs(int milliseconds) override;

  std::atomic<int64_t> seconds{1'700'000'000};
  std::atomic<int64_t> ahead_ms{0};
  std::atomic<int> readings{0};      // NowSeconds calls
  std::atomic<int64_t> slept_ms{0};  // every pause asked for, slept or not

 private:
  const Options options_;
  const int64_t start_ms_ = SystemClock().NowMonotonicMs();
};

}  // namespace velkaro::testing
