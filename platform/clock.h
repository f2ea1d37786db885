#pragma once

#include <cstdint>

namespace velkaro {

// The wall clock in whole seconds since 1970-01-01 00:00 UTC, the monotonic
// clock, and sleeping. Every arrival stamp and every staleness test reads the
// one clock the program was given, so a test that moves it ages both sides.
// Thread-safe: the link worker and the UI thread share one clock.
class IClock {
 public:
  virtual ~IClock() = default;
  virtual int64_t NowSeconds() = 0;
  // Milliseconds on a clock that never jumps when the wall clock is set.
  virtual int64_t NowMonotonicMs() = 0;
  virtual void SleepMs(int milliseconds) = 0;
};

class SystemClock : public IClock {
 public:
  int64_t NowSeconds() override;
  int64_t NowMonotonicMs() override;
  void SleepMs(int milliseconds) override;
};

}  // namespace velkaro
