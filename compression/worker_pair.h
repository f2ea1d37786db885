#pragma once

// The coder's passes split their work into independent pieces (blocks of
// the source, stretches of the codes) that two threads can take in turn: the
// caller and one helper, started once per operation and, between jobs,
// spinning a moment and then asleep. On a machine with one core, or if the
// helper cannot be started, the caller does the helper's share too, so
// results never depend on threads.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace velkaro {

// Spins until `ready()` or a moment has passed (a fifth of a millisecond);
// whether it became ready. For waits that mostly end within microseconds,
// which a sleep would stretch to a wake-up's tenth of a millisecond.
bool SpinFor(const std::function<bool()>& ready);

class WorkerPair {
 public:
  // `threads` 0 takes two where the machine has two cores, one otherwise.
  explicit WorkerPair(int threads);
  ~WorkerPair();
  WorkerPair(const WorkerPair&) = delete;
  WorkerPair& operator=(const WorkerPair&) = delete;

  // 1 or 2: how many workers a job is run as.
  int workers() const { return helper_.joinable() ? 2 : 1; }

  // Runs job(0) on the caller and job(1) on the helper at the same time, or
  // job(0) alone without a helper; returns once every run has returned. A
  // job shares the pieces with its partner (an atomic counter, say), so that
  // one worker alone still does them all.
  void Run(const std::function<void(int)>& job);

 private:
  void HelperLoop();
  void Wake(std::condition_variable& sleeper);

  // Jobs are handed over through two counters, which each side first spins
  // on for a moment and then sleeps on.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  const std::function<void(int)>* job_ = nullptr;  // read by the helper once posted
  std::atomic<uint64_t> posted_{0};                // jobs handed to the helper
  std::atomic<uint64_t> finished_{0};              // jobs the helper has done
  std::atomic<bool> stop_{false};
  std::thread helper_;
};

}  // namespace velkaro
