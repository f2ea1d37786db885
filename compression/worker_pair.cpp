#include "compression/worker_pair.h"

#include <chrono>
#include <system_error>

namespace velkaro {
namespace {

// How long a worker keeps looking for its partner before it sleeps. A
// piece of the coder's work lasts about a millisecond and a worker mostly
// waits a few microseconds for the next; a thread put to sleep there, on a
// virtual machine whose idle core halts, takes a tenth of a millisecond or
// more to wake.
constexpr auto kSpin = std::chrono::microseconds(200);

void Relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

}  // namespace

bool SpinFor(const std::function<bool()>& ready) {
  const auto until = std::chrono::steady_clock::now() + kSpin;
  for (;;) {
    for (int i = 0; i < 64; ++i) {
      if (ready()) return true;
      Relax();
    }
    if (std::chrono::steady_clock::now() >= until) return ready();
  }
}

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
  stop_ = true;
  Wake(wake_);
  helper_.join();
}

void WorkerPair::Wake(std::condition_variable& sleeper) {
  // Taking the lock orders this against a sleeper's last look at the
  // counters, so a wake-up is never lost between its look and its sleep.
  { std::lock_guard<std::mutex> lock(mutex_); }
  sleeper.notify_one();
}

void WorkerPair::Run(const std::function<void(int)>& job) {
  if (!helper_.joinable()) {
    job(0);
    return;
  }
  job_ = &job;
  const uint64_t posted = posted_.fetch_add(1, std::memory_order_release) + 1;
  Wake(wake_);
  job(0);
  auto finished = [&] { return finished_.load(std::memory_order_acquire) == posted; };
  if (SpinFor(finished)) return;
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, finished);
}

void WorkerPair::HelperLoop() {
  for (uint64_t seen = 0;;) {
    auto posted = [&] {
      return stop_.load(std::memory_order_acquire) ||
             posted_.load(std::memory_order_acquire) != seen;
    };
    if (!SpinFor(posted)) {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, posted);
    }
    if (stop_.load(std::memory_order_acquire)) return;
    ++seen;
    (*job_)(1);
    finished_.store(seen, std::memory_order_release);
    Wake(done_);
  }
}

}  // namespace velkaro
