#pragma once

// A serial line and its opener driven by the test, in place of the
// machine's serial devices.

#include "platform/serial_port.h"
#include "tests/support/event_trail.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace velkaro::testing {

using Bytes = std::vector<uint8_t>;

// Each queued chunk is what the driver holds at one pass of the link worker:
// BytesWaiting reports the first chunk, Read takes from it, and the next
// chunk shows only once that one is used up. With nothing queued the line is
// quiet. Every Write is kept as a chunk of its own.
//
// Thread-safe: the link worker reads and writes on its own thread while the
// test queues bytes and looks at what was written.
class FakePort : public ISerialPort {
 public:
  bool ApplyLineSettings() override;
  uint32_t BytesWaiting() override;
  uint32_t Read(uint8_t* dst, uint32_t max) override;
  uint32_t Write(const uint8_t* src, uint32_t length) override;
  void Purge(bool output, bool input) override;
  bool Lost() override;

  // The test's side.
  void Queue(Bytes chunk);
  // The line hangs up: Lost() answers true from now on.
  void HangUp();
  // From now on ApplyLineSettings answers false, as a driver that refuses them.
  void RefuseSettings();
  std::vector<Bytes> Writes() const;                  // each Write's bytes, in order
  Bytes Written() const;                              // everything written, run together
  std::vector<std::pair<bool, bool>> Purges() const;  // (output, input) of each Purge
  int SettingsApplied() const;
  int Polls() const;  // BytesWaiting calls: how often the worker looked

 private:
  mutable std::mutex mutex_;
  bool accept_settings_ = true;
  bool lost_ = false;
  int settings_applied_ = 0;
  int polls_ = 0;
  std::deque<Bytes> incoming_;
  std::vector<Bytes> writes_;
  std::vector<std::pair<bool, bool>> purges_;
};

// Opens FakePorts. Every name asked for is kept and, with a trail, logged as
// "open NAME". While failing, an open returns nothing; otherwise it hands out
// the prepared port (Next()) and prepares a fresh one for the open after.
// Thread-safe.
class FakeOpener : public ISerialPortOpener {
 public:
  FakeOpener() = default;
  // REQUIRES: `trail` outlives the opener.
  explicit FakeOpener(EventTrail& trail) : trail_(&trail) {}

  std::unique_ptr<ISerialPort> Open(const std::string& name) override;

  void SetFail(bool fail);
  // The port the next successful open hands out, to set up beforehand.
  FakePort& Next();
  // The port the last successful open handed out, or null before one. It
  // belongs to whoever opened it and lives as long as they keep it.
  FakePort* Last() const;
  // The names opens were asked for, in order.
  std::vector<std::string> Names() const;

 private:
  mutable std::mutex mutex_;
  EventTrail* trail_ = nullptr;
  bool fail_ = false;
  std::unique_ptr<FakePort> next_ = std::make_unique<FakePort>();
  FakePort* last_ = nullptr;
  std::vector<std::string> names_;
};

}  // namespace velkaro::testing
