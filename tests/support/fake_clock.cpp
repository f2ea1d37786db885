#include "tests/support/fake_clock.h"

#include <chrono>
#include <string>
#include <thread>

namespace velkaro::testing {

FakeClock::FakeClock() : FakeClock(Options{}) {}

FakeClock::FakeClock(Options options) : options_(options) {}

int64_t FakeClock::NowSeconds() {
  ++readings;
  return options_.system_time ? SystemClock().NowSeconds() : seconds.load();
}

int64_t FakeClock::NowMonotonicMs() {
  return (options_.system_time ? SystemClock().NowMonotonicMs() : start_ms_) + ahead_ms.load();
}

void FakeClock::SleepMs(int milliseconds) {
  slept_ms += milliseconds;
  if (milliseconds >= kLongPauseMs) {
    if (options_.trail != nullptr) options_.trail->Add("sleep " + std::to_string(milliseconds));
  } else if (options_.sleep_naps && milliseconds > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}

}  // namespace velkaro::testing
