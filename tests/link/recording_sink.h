#pragma once

// What a position source hands on, kept for a test: every record published
// before each board update, read at the moment the update is posted.

#include "link/engine.h"
#include "link/gps_data.h"
#include "link/published.h"

#include <chrono>
#include <mutex>
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
