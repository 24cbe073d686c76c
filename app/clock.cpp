#include "app/clock.h"

#include <chrono>
#include <thread>

namespace {

uint32_t SystemMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemSleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

MillisecondClock activeClock = SystemMilliseconds;
SleepFunction activeSleep = SystemSleep;

}  // namespace

uint32_t TimeGetTime() { return activeClock(); }
void SleepMilliseconds(uint32_t milliseconds) { activeSleep(milliseconds); }
void SetClockForTesting(MillisecondClock clock) { activeClock = clock ? clock : SystemMilliseconds; }
void SetSleepForTesting(SleepFunction sleep) { activeSleep = sleep ? sleep : SystemSleep; }
