#pragma once
#include <cstdint>
#include <random>

#include "terrain/height_field.h"
#include "terrain/point3.h"

// A random flight of camera 0's eye over a height field: wandering heading, speeds
// from hovering to fast, changing clearances, pauses, and now and then a jump far away or high
// up (more than the ring of the queues spans).
class RandomFlight {
 public:
  RandomFlight(const HeightField& field, uint32_t seed);
  Point3 Next();

 private:
  float Unit() { return unit_(random_); }

  const HeightField& field_;
  std::mt19937 random_;
  std::uniform_real_distribution<float> unit_{0.0f, 1.0f};
  float x_, y_, heading_, speed_, clearance_, height_;
  int paused_ = 0;
};
