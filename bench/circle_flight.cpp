#include "circle_flight.h"

#include <cmath>

namespace {

constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 480;
constexpr float kFieldOfView = 45.0f;
constexpr float kQuarterTurn = 1.5707964f;

}  // namespace

CircleFlight::CircleFlight(const HeightField& field, float radius, float turnPerFrame, float clearance,
                           int cullingLevel)
    : field_(field), radius_(radius), turnPerFrame_(turnPerFrame), clearance_(clearance), cullingLevel_(cullingLevel) {}

FrameView CircleFlight::Next() {
  angle_ += turnPerFrame_;
  const float x = 0.5f + radius_ * std::cos(angle_);
  const float y = 0.5f + radius_ * std::sin(angle_);
  const float z = field_.SampleHeight(x, y) + clearance_;
  const float heading = angle_ + kQuarterTurn;
  const CameraView camera{{x, y, z}, {x + 0.8f * std::cos(heading), y + 0.8f * std::sin(heading), z}, kFieldOfView,
                          {0.0f, 0.0f, 1.0f}};
  return {camera.eye, camera, ComputeViewWedge(camera, kWindowWidth, kWindowHeight), cullingLevel_, 0};
}
