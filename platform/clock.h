#pragma once

#include <cstdint>

namespace velkaro {

// The wall clock in whole seconds since 1970-01-01 00:00 UTC, and sleeping.
// Thread-safe: the link worker and the UI thread share one clock.
class IClock {
 public:
  virtual ~IClock() = default;
  virtual int64_t NowSeconds() = 0;
  virtual void SleepMs(int milliseconds) = 0;
};

class SystemClock : public IClock {
 public:
  int64_t NowSeconds() override;
  void SleepMs(int milliseconds) override;
};

}  // namespace velkaro
