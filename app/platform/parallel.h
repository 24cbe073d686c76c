#pragma once
#include <atomic>
#include <functional>

// The number of threads the machine runs at once (at least 1).
int HardwareThreads();

// Runs task(i) once for every i in [0, count), spread over up to `threads` threads (the caller's
// among them; 0: HardwareThreads()), taking indices in increasing order as threads come free, and
// returns when every task has run. Tasks must not depend on one another's order.
void ParallelFor(int count, const std::function<void(int)>& task, int threads = 0);

// Raises value to at least candidate, atomically: threads that raise one value at once leave the
// largest of their candidates, whatever their order, as a serial maximum would.
inline void RaiseAtomically(float& value, float candidate) {
  std::atomic_ref<float> shared(value);
  float current = shared.load(std::memory_order_relaxed);
  while (current < candidate && !shared.compare_exchange_weak(current, candidate, std::memory_order_relaxed)) {
  }
}
