#include "app/view/camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

namespace {

constexpr double kResponseScale = 4.938271604938271;  // 1 / 0.45^2
constexpr double kTurnPerStep = M_PI / 60.0;
constexpr double kSpeedPerStep = -0.004166666666666667;  // -1/240: pointer above centre flies forward
constexpr double kBrakePerStep = 0.0008333333333333334;  // 1/1200

}  // namespace

ViewState StartViewState(float verticalScale) {
  ViewState view;
  view.cameras[0] = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, 45.0f, {0.0f, 0.0f, 1.0f}};
  view.cameras[1] = {{0.5f, 0.5f, 30.0f}, {0.5f, 0.5f, 0.0f}, 1.25f, {0.0f, 1.0f, 0.0f}};
  view.cameras[2] = {{0.5f, 0.5f, 30.0f}, {0.5f, 0.5f, 0.0f}, 1.9f, {0.0f, 1.0f, 0.0f}};
  view.currentCamera = 0;
  view.flight = {0.5f, 0.5f, 0.05f, 0.2f * verticalScale, 0.0f, 0.0f, 0.0f, 0.0f, true};
  view.pointer = {false, 0.0, 0.0};
  view.windowWidth = 640;
  view.windowHeight = 480;
  view.speedUp = 1;
  view.paused = false;
  view.cullingLevel = 14;
  view.wireframeMode = 0;
  view.fullScreen = false;
  view.savedWindowWidth = 640;
  view.savedWindowHeight = 480;
  return view;
}

double FlightResponse(double v) {
  if (v < 0.45) return -(v - 0.45) * (v - 0.45) * kResponseScale;
  if (v > 0.55) return (v - 0.55) * (v - 0.55) * kResponseScale;
  return 0.0;
}

void UpdateFlight(FlightState& flight, const PointerState& pointer, bool paused, const HeightField& field,
                  double step) {
  if (paused) return;
  const float oldX = flight.x;
  const float oldY = flight.y;
  const float oldHeight = flight.eyeHeight;
  if (pointer.leftDown) {
    flight.moved = true;
    const double turn = FlightResponse(pointer.x);
    flight.heading = static_cast<float>(flight.heading - step * turn * kTurnPerStep);
    const double speed = FlightResponse(pointer.y) * step * kSpeedPerStep;
    flight.x = static_cast<float>(flight.x + speed * std::cos(flight.heading));
    flight.y = static_cast<float>(flight.y + speed * std::sin(flight.heading));
  } else {
    const double v = std::sqrt(static_cast<double>(flight.vx) * flight.vx +
                               static_cast<double>(flight.vy) * flight.vy +
                               static_cast<double>(flight.vz) * flight.vz);
    if (v > 1e-8) {
      flight.moved = true;
      const double brake = step * kBrakePerStep;
      if (v > brake) {
        const double factor = (v - brake) / v;
        flight.x = static_cast<float>(flight.x + flight.vx * factor);
        flight.y = static_cast<float>(flight.y + flight.vy * factor);
      }
    }
  }
  flight.x = std::fmin(std::fmax(flight.x, 0.0f), 1.0f);
  flight.y = std::fmin(std::fmax(flight.y, 0.0f), 1.0f);
  const float ground = field.SampleHeight(flight.x, flight.y);
  const float target = ground + flight.clearance;
  if (flight.moved) {
    const double a = std::pow(0.93, step);
    flight.eyeHeight = static_cast<float>(flight.eyeHeight + (1.0 - a) * (target - flight.eyeHeight));
    const float floor = ground + 0.5f * flight.clearance;
    if (flight.eyeHeight < floor) flight.eyeHeight = floor;
  } else {
    flight.eyeHeight = target;
  }
  flight.vx = static_cast<float>((flight.x - oldX) / step);
  flight.vy = static_cast<float>((flight.y - oldY) / step);
  flight.vz = static_cast<float>((flight.eyeHeight - oldHeight) / step);
}

void UpdateCameras(ViewState& view) {
  const FlightState& flight = view.flight;
  CameraView* cameras = view.cameras;
  cameras[0].eye = {flight.x, flight.y, flight.eyeHeight};
  cameras[0].centre = {flight.x + 0.8f * std::cos(flight.heading), flight.y + 0.8f * std::sin(flight.heading),
                       flight.eyeHeight};
  cameras[1].eye.x = cameras[0].centre.x;
  cameras[1].eye.y = cameras[0].centre.y;
  cameras[1].centre = {cameras[0].centre.x, cameras[0].centre.y, flight.eyeHeight};
}

void LoadModelView(const CameraView& camera) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(camera.eye.x, camera.eye.y, camera.eye.z, camera.centre.x, camera.centre.y, camera.centre.z,
            camera.up.x, camera.up.y, camera.up.z);
}

void ApplyProjection(const ViewState& view) {
  const int width = view.windowWidth;
  const int height = view.windowHeight;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const bool flown = view.currentCamera == 0;
  const double aspect = height > 0 ? static_cast<double>(width) / height : 1.0;
  gluPerspective(view.Current().fieldOfView, aspect, flown ? 0.005 : 10.0, flown ? 2.5 : 40.0);
  glMatrixMode(GL_MODELVIEW);
}
