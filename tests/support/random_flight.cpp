#include "support/random_flight.h"

#include <cmath>

#include "terrain/height_field.h"

RandomFlight::RandomFlight(const HeightField& field, uint32_t seed) : field_(field), random_(seed) {
  x_ = Unit();
  y_ = Unit();
  heading_ = 6.2831853f * Unit();
  speed_ = 0.01f * Unit();
  clearance_ = 0.001f + 0.1f * Unit();
  height_ = field_.SampleHeight(x_, y_) + clearance_;
}

Point3 RandomFlight::Next() {
  const float event = Unit();
  if (event < 0.01f) speed_ = Unit() < 0.2f ? 0.0f : 0.03f * Unit() * Unit();
  else if (event < 0.02f) clearance_ = 0.0005f + 0.3f * Unit() * Unit();
  else if (event < 0.025f) paused_ = static_cast<int>(20 * Unit());
  else if (event < 0.028f) {
    x_ = Unit();
    y_ = Unit();
    height_ = field_.SampleHeight(x_, y_) + (Unit() < 0.5f ? 2.5f * Unit() : clearance_);
    return {x_, y_, height_};
  }
  if (paused_ > 0) {
    --paused_;
    return {x_, y_, height_};
  }
  heading_ += 0.3f * (Unit() - 0.5f);
  x_ += speed_ * std::cos(heading_);
  y_ += speed_ * std::sin(heading_);
  if (x_ < 0.0f || x_ > 1.0f) heading_ = 3.14159265f - heading_;
  if (y_ < 0.0f || y_ > 1.0f) heading_ = -heading_;
  x_ = std::fmin(std::fmax(x_, 0.0f), 1.0f);
  y_ = std::fmin(std::fmax(y_, 0.0f), 1.0f);
  // Follow the ground with some lag, never below half the clearance.
  const float ground = field_.SampleHeight(x_, y_);
  height_ += 0.3f * (ground + clearance_ - height_);
  height_ = std::fmax(height_, ground + 0.5f * clearance_);
  return {x_, y_, height_};
}
