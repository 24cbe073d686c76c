#pragma once
#include "app/view/frame_view.h"
#include "terrain/height_field.h"

// Camera 0 flying a circle round the centre of the square at a fixed clearance, looking along
// its path, seen in a 640 x 480 window: a flight that keeps the trees busy and never leaves the
// terrain.
class CircleFlight {
 public:
  // radius in the unit square, radians per frame, eye height above the ground.
  CircleFlight(const HeightField& field, float radius, float turnPerFrame, float clearance, int cullingLevel);

  // The view of the next frame.
  FrameView Next();

 private:
  const HeightField& field_;
  float radius_;
  float turnPerFrame_;
  float clearance_;
  int cullingLevel_;
  float angle_ = 0.0f;
};
