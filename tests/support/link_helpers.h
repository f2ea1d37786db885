#pragma once

// What the link tests read back: the handheld's two requests as they go on
// the wire, a sink that counts board updates, the transmit slot's bytes, the
// engine's identity texts, the fix line, decoded fields, and a bounded wait.

#include "link/com.h"
#include "link/engine.h"
#include "link/gps_data.h"
#include "tests/support/frames.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace velkaro::testing {

inline const Bytes kStartupFrame = {0x11, 0x12, 0x01, 0x00, 0x11, 0x13};
inline const Bytes kSerialRequest = {0x11, 0x12, 0x02, 0x00, 0x11, 0x13};

struct CountingSink : IBoardUpdateSink {
  void PostBoardUpdate() override { ++posts; }
  std::atomic<int> posts{0};
};

// The request waiting in the transmit slot, taken; empty when there is none.
inline Bytes TakeWrite(CCom& com) {
  uint8_t out[CCom::kTxSize];
  uint32_t n = 0;
  if (!com.TakeWrite(out, &n)) return {};
  return Bytes(out, out + n);
}

inline std::string FirmwareOf(const CEngine& engine) {
  char text[CEngine::kFirmwareSize];
  engine.GetFirmware(text);
  return text;
}

inline std::string SerialOf(const CEngine& engine) {
  char text[CEngine::kSerialSize];
  engine.GetSerial(text);
  return text;
}

inline std::string FixLine(const CGpsData& record) {
  char line[CGpsData::kFixLineSize];
  record.FormatFix(line);
  return line;
}

// One decoded field against what it should be, named in the failure
// message. The fields are integers or doubles, which a double holds exactly.
struct Field {
  template <class Actual, class Expected>
  Field(const char* name, Actual actual, Expected expected)
      : name(name), actual(static_cast<double>(actual)), expected(static_cast<double>(expected)) {}
  const char* name;
  double actual, expected;
};
inline void ExpectFields(std::initializer_list<Field> fields) {
  for (const Field& f : fields) EXPECT_EQ(f.actual, f.expected) << f.name;
}

// Polls `done` every few milliseconds until it holds or `timeout` passes.
template <class Done>
bool WaitUntil(Done done, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace velkaro::testing
