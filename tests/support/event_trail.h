#pragma once

// One ordered record of what the fakes were asked to do. Several fakes may
// share one trail, so that a test reads back the order across services:
// "open /dev/x", "sleep 2000", "wave async CAMERA", "save vk000001.jpg",
// "ok TEXT". Thread-safe: the link worker's clock and the UI thread's fakes
// may add to it at once.

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace velkaro::testing {

class EventTrail {
 public:
  void Add(std::string entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(std::move(entry));
  }

  // A copy of the entries so far, oldest first.
  std::vector<std::string> Entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }

  // The latest entry; empty when there is none (for failure messages).
  std::string Last() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.empty() ? std::string() : entries_.back();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> entries_;
};

}  // namespace velkaro::testing
