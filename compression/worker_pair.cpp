#include "compression/worker_pair.h"

#include <system_error>

namespace velkaro {

WorkerPair::WorkerPair(int threads) {
  if (threads == 0) threads = std::thread::hardware_concurrency() >= 2 ? 2 : 1;
  if (threads < 2) return;
  try {
    helper_ = std::thread(&WorkerPair::HelperLoop, this);
  } catch (const std::system_error&) {
    // Out of threads: the caller works alone.
  }
}

WorkerPair::~WorkerPair() {
  if (!helper_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  helper_.join();
}

void WorkerPair::Run(const std::function<void(int)>& job) {
  if (!helper_.joinable()) {
    job(0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = &job;
  }
  wake_.notify_one();
  job(0);
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return job_ == nullptr; });
}

void WorkerPair::HelperLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || job_ != nullptr; });
    if (stop_) return;
    const std::function<void(int)>* job = job_;
    lock.unlock();
    (*job)(1);
    lock.lock();
    job_ = nullptr;
    done_.notify_one();
  }
}

}  // namespace velkaro
