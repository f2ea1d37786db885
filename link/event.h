#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace velkaro {

// A manual-reset event: once set it stays set until reset, and every waiter
// sees it. Thread-safe.
class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool initially_set = false) : set_(initially_set) {}
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void Set() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      set_ = true;
    }
    changed_.notify_all();
  }

  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
  }

  bool IsSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
  }

  // Waits at most `timeout` for the event; returns true when it is set.
  bool WaitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return set_; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool set_;
};

}  // namespace velkaro
