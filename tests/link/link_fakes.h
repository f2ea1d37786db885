#pragma once

#include "platform/clock.h"
#include "platform/serial_port.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace velkaro::testing {

using Bytes = std::vector<uint8_t>;

// A serial port driven by the test: each queued chunk is what the driver
// holds at one pass; writes are recorded. Single-threaded.
class FakePort : public ISerialPort {
 public:
  bool ApplyLineSettings() override {
    ++settings_applied;
    return accept_settings;
  }
  uint32_t BytesWaiting() override {
    return incoming.empty() ? 0 : static_cast<uint32_t>(incoming.front().size());
  }
  uint32_t Read(uint8_t* dst, uint32_t max) override {
    if (incoming.empty()) return 0;
    Bytes& chunk = incoming.front();
    const uint32_t n = std::min<uint32_t>(max, static_cast<uint32_t>(chunk.size()));
    std::memcpy(dst, chunk.data(), n);
    chunk.erase(chunk.begin(), chunk.begin() + n);
    if (chunk.empty()) incoming.pop_front();
    return n;
  }
  uint32_t Write(const uint8_t* src, uint32_t length) override {
    written.emplace_back(src, src + length);
    return length;
  }
  void Purge(bool output, bool input) override { purges.push_back({output, input}); }
  bool Lost() override { return lost; }

  bool lost = false;  // the line hung up
  bool accept_settings = true;
  int settings_applied = 0;
  std::deque<Bytes> incoming;
  std::vector<Bytes> written;
  std::vector<std::pair<bool, bool>> purges;
};

// Hands out one prepared FakePort for the name it expects; records names.
class FakeOpener : public ISerialPortOpener {
 public:
  std::unique_ptr<ISerialPort> Open(const std::string& name) override {
    opened.push_back(name);
    if (!port) return nullptr;
    last = port.get();
    return std::move(port);
  }

  std::unique_ptr<FakePort> port = std::make_unique<FakePort>();
  FakePort* last = nullptr;
  std::vector<std::string> opened;
};

// A clock the test sets; sleeps are counted, not slept.
class FakeClock : public IClock {
 public:
  int64_t NowSeconds() override {
    ++readings;
    return seconds;
  }
  int64_t NowMonotonicMs() override { return monotonic_ms; }
  void SleepMs(int milliseconds) override { slept_ms += milliseconds; }

  int64_t seconds = 1'700'000'000;
  int64_t monotonic_ms = 5'000'000;
  int readings = 0;
  int slept_ms = 0;
};

// Wraps a payload as the board sends it: start pair, escaped type and body,
// the check byte that makes the exclusive-or zero, end pair.
inline Bytes FrameOf(uint8_t type, const Bytes& payload) {
  Bytes out = {0x11, 0x12};
  auto put = [&out](uint8_t b) {
    out.push_back(b);
    if (b == 0x11) out.push_back(0x14);
  };
  uint8_t check = type;
  put(type);
  for (uint8_t b : payload) {
    put(b);
    check ^= b;
  }
  put(check);
  out.push_back(0x11);
  out.push_back(0x13);
  return out;
}

}  // namespace velkaro::testing
