#pragma once

#include <mutex>

namespace velkaro {

// A value written by one thread and read by others. The writer builds a whole
// new value and swaps it in; readers get a copy taken under the same lock, so
// no reader ever sees a value half written.
template <class T>
class Published {
 public:
  Published() = default;
  explicit Published(const T& initial) : value_(initial) {}
  Published(const Published&) = delete;
  Published& operator=(const Published&) = delete;

  void Publish(const T& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    value_ = value;
  }

  T Read() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return value_;
  }

 private:
  mutable std::mutex mutex_;
  T value_{};
};

}  // namespace velkaro
