#pragma once

#include <cstdint>

namespace velkaro {

// Milliseconds on the machine's monotonic clock, which never jumps when the
// wall clock is set. Records are stamped with it when they arrive.
int64_t MonotonicMs();

// The wall clock in whole seconds since 1970-01-01 00:00 UTC, the monotonic
// clock, and sleeping. Thread-safe: the link worker and the UI thread share
// one clock.
class IClock {
 public:
  virtual ~IClock() = default;
  virtual int64_t NowSeconds() = 0;
  virtual void SleepMs(int milliseconds) = 0;
  // Tests drive it to age what was received; the program reads MonotonicMs.
  virtual int64_t NowMonotonicMs() { return MonotonicMs(); }
};

class SystemClock : public IClock {
 public:
  int64_t NowSeconds() override;
  void SleepMs(int milliseconds) override;
};

}  // namespace velkaro
