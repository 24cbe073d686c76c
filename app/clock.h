#pragma once
#include <cstdint>

// Millisecond wall clock and sleep, replaceable so that tests can drive time.
using MillisecondClock = uint32_t (*)();
using SleepFunction = void (*)(uint32_t milliseconds);

uint32_t TimeGetTime();
void SleepMilliseconds(uint32_t milliseconds);

// Installs replacements; nullptr restores the system clock or sleep.
void SetClockForTesting(MillisecondClock clock);
void SetSleepForTesting(SleepFunction sleep);
