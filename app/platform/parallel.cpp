#include "app/platform/parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

int HardwareThreads() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

void ParallelFor(int count, const std::function<void(int)>& task, int threads) {
  if (threads <= 0) threads = HardwareThreads();
  threads = std::min(threads, count);
  std::atomic<int> next{0};
  const auto work = [&] {
    for (int i = next.fetch_add(1); i < count; i = next.fetch_add(1)) task(i);
  };
  std::vector<std::thread> helpers;
  helpers.reserve(threads > 1 ? static_cast<size_t>(threads - 1) : 0);
  for (int t = 1; t < threads; ++t) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
}
