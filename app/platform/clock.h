#pragma once
#include <cstdint>

// The millisecond wall clock and the sleep of the idle loop, behind an interface so that tests
// drive time.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t Milliseconds() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

// The system's steady clock and sleep.
class SystemClock final : public Clock {
 public:
  uint32_t Milliseconds() override;
  void Sleep(uint32_t milliseconds) override;
};
