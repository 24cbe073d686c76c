#pragma once

// A point of three 32-bit floats, stored back to back with no padding.
struct Point3 {
  float x;
  float y;
  float z;
};
static_assert(sizeof(Point3) == 12);
