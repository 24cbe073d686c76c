#pragma once
#include <cstdint>
#include <random>

#include "terrain/point3.h"

// A random flight of camera 0's eye over the current height field: wandering heading, speeds
// from hovering to fast, changing clearances, pauses, and now and then a jump far away or high
// up (more than the ring of the queues spans).
class RoamFlight {
 public:
  explicit RoamFlight(uint32_t seed);
  Point3 Next();

 private:
  float Unit() { return unit_(random_); }

  std::mt19937 random_;
  std::uniform_real_distribution<float> unit_{0.0f, 1.0f};
  float x_, y_, heading_, speed_, clearance_, height_;
  int paused_ = 0;
};
