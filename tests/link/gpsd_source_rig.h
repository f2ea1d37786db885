#pragma once

// The gpsd source wired as the program wires it, with everything it hands
// on kept for a test: every record it publishes, read at the moment the
// board update is posted, the messages it shows and the identity texts.

#include "link/engine.h"
#include "link/gps_data.h"
#include "link/gpsd_source.h"
#include "link/published.h"
#include "tests/support/recording_message_box.h"

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velkaro::testing {

class RecordingSink : public IBoardUpdateSink {
 public:
  explicit RecordingSink(Published<CGpsData>& gps) : gps_(gps) {}
  // On the source's worker thread.
  void PostBoardUpdate() override {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(gps_.Read());
  }
  std::vector<CGpsData> Records() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
  }
  size_t Count() const { return Records().size(); }

 private:
  Published<CGpsData>& gps_;
  mutable std::mutex mutex_;
  std::vector<CGpsData> records_;
};

struct GpsdSourceRig {
  std::string Firmware() const {
    char firmware[CEngine::kFirmwareSize];
    engine.GetFirmware(firmware);
    return firmware;
  }
  std::string Serial() const {
    char serial[CEngine::kSerialSize];
    engine.GetSerial(serial);
    return serial;
  }

  CCom com;
  Published<CGpsData> gps;
  CEngine engine{com, gps};
  testing::RecordingMessageBox messages;
  RecordingSink sink{gps};
  GpsdSource source{gps, engine};
};

inline std::string FixLine(const CGpsData& record) {
  char line[CGpsData::kFixLineSize];
  record.FormatFix(line);
  return line;
}

// Polls `done` every few milliseconds until it holds or `timeout` passes.
template <class Done>
bool WaitUntil(Done done, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace velkaro::testing
