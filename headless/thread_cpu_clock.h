#pragma once
#include <ctime>

// CPU time of the calling thread in milliseconds: the work of a step without the time the GL's
// own threads (llvmpipe's rasterizer) or other processes took.
inline double ThreadCpuMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec * 1e-6;
}

// Wall clock in milliseconds.
inline double WallMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1e3 + now.tv_nsec * 1e-6;
}
