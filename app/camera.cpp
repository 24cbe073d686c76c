#include "app/camera.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "terrain/height_field.h"

CameraView Cameras[3];
Point3 CameraUp[3];
int CurrentCamera = 0;
FlightState Flight;
PointerState Pointer;
int WindowWidth = 640;
int WindowHeight = 480;
float VerticalScale = 0.1f;
int SpeedUp = 1;
bool Paused = false;
int CullingLevel = 14;
int WireframeMode = 0;
bool FullScreen = false;
int SavedWindowWidth = 640;
int SavedWindowHeight = 480;

namespace {

constexpr double kResponseScale = 4.938271604938271;  // 1 / 0.45^2
constexpr double kTurnPerStep = M_PI / 60.0;
constexpr double kSpeedPerStep = -0.004166666666666667;  // -1/240: pointer above centre flies forward
constexpr double kBrakePerStep = 0.0008333333333333334;  // 1/1200

}  // namespace

void ResetViewState() {
  Cameras[0] = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, 45.0f};
  Cameras[1] = {{0.5f, 0.5f, 30.0f}, {0.5f, 0.5f, 0.0f}, 1.25f};
  Cameras[2] = {{0.5f, 0.5f, 30.0f}, {0.5f, 0.5f, 0.0f}, 1.9f};
  CameraUp[0] = {0.0f, 0.0f, 1.0f};
  CameraUp[1] = {0.0f, 1.0f, 0.0f};
  CameraUp[2] = {0.0f, 1.0f, 0.0f};
  CurrentCamera = 0;
  Flight = {0.5f, 0.5f, 0.05f, 0.2f * VerticalScale, 0.0f, 0.0f, 0.0f, 0.0f, true};
  Pointer = {false, 0.0, 0.0};
  WindowWidth = 640;
  WindowHeight = 480;
  SpeedUp = 1;
  Paused = false;
  CullingLevel = 14;
  WireframeMode = 0;
  FullScreen = false;
  SavedWindowWidth = 640;
  SavedWindowHeight = 480;
}

namespace {
// The start values hold from program start, before anything calls ResetViewState.
struct ViewStateInitialiser {
  ViewStateInitialiser() { ResetViewState(); }
} viewStateInitialiser;
}  // namespace

double FlightResponse(double v) {
  if (v < 0.45) return -(v - 0.45) * (v - 0.45) * kResponseScale;
  if (v > 0.55) return (v - 0.55) * (v - 0.55) * kResponseScale;
  return 0.0;
}

void UpdateFlight(double step) {
  if (Paused) return;
  const float oldX = Flight.x;
  const float oldY = Flight.y;
  const float oldHeight = Flight.eyeHeight;
  if (Pointer.leftDown) {
    Flight.moved = true;
    const double turn = FlightResponse(Pointer.x);
    Flight.heading = static_cast<float>(Flight.heading - step * turn * kTurnPerStep);
    const double speed = FlightResponse(Pointer.y) * step * kSpeedPerStep;
    Flight.x = static_cast<float>(Flight.x + speed * std::cos(Flight.heading));
    Flight.y = static_cast<float>(Flight.y + speed * std::sin(Flight.heading));
  } else {
    const double v = std::sqrt(static_cast<double>(Flight.vx) * Flight.vx +
                               static_cast<double>(Flight.vy) * Flight.vy +
                               static_cast<double>(Flight.vz) * Flight.vz);
    if (v > 1e-8) {
      Flight.moved = true;
      const double brake = step * kBrakePerStep;
      if (v > brake) {
        const double factor = (v - brake) / v;
        Flight.x = static_cast<float>(Flight.x + Flight.vx * factor);
        Flight.y = static_cast<float>(Flight.y + Flight.vy * factor);
      }
    }
  }
  Flight.x = std::fmin(std::fmax(Flight.x, 0.0f), 1.0f);
  Flight.y = std::fmin(std::fmax(Flight.y, 0.0f), 1.0f);
  const float ground = SampleHeight(Flight.x, Flight.y);
  const float target = ground + Flight.clearance;
  if (Flight.moved) {
    const double a = std::pow(0.93, step);
    Flight.eyeHeight = static_cast<float>(Flight.eyeHeight + (1.0 - a) * (target - Flight.eyeHeight));
    const float floor = ground + 0.5f * Flight.clearance;
    if (Flight.eyeHeight < floor) Flight.eyeHeight = floor;
  } else {
    Flight.eyeHeight = target;
  }
  Flight.vx = static_cast<float>((Flight.x - oldX) / step);
  Flight.vy = static_cast<float>((Flight.y - oldY) / step);
  Flight.vz = static_cast<float>((Flight.eyeHeight - oldHeight) / step);
}

void UpdateCameras() {
  Cameras[0].eye = {Flight.x, Flight.y, Flight.eyeHeight};
  Cameras[0].centre = {Flight.x + 0.8f * std::cos(Flight.heading), Flight.y + 0.8f * std::sin(Flight.heading),
                       Flight.eyeHeight};
  Cameras[1].eye.x = Cameras[0].centre.x;
  Cameras[1].eye.y = Cameras[0].centre.y;
  Cameras[1].centre = {Cameras[0].centre.x, Cameras[0].centre.y, Flight.eyeHeight};
}

void LoadCameraModelView() {
  const CameraView& view = Cameras[CurrentCamera];
  const Point3& up = CameraUp[CurrentCamera];
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(view.eye.x, view.eye.y, view.eye.z, view.centre.x, view.centre.y, view.centre.z, up.x, up.y, up.z);
}

void Reshape(int width, int height) {
  WindowWidth = width;
  WindowHeight = height;
  // A new size (leaving full screen, say) leaves the window's contents undefined: draw again.
  Flight.moved = true;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const bool flown = CurrentCamera == 0;
  const double aspect = height > 0 ? static_cast<double>(width) / height : 1.0;
  gluPerspective(Cameras[CurrentCamera].fieldOfView, aspect, flown ? 0.005 : 10.0, flown ? 2.5 : 40.0);
  glMatrixMode(GL_MODELVIEW);
}

void OnMouseButton(int button, int state, int x, int y) {
  if (button == GLUT_LEFT_BUTTON) Pointer.leftDown = state == GLUT_DOWN;
  Pointer.x = static_cast<double>(x) / WindowWidth;
  Pointer.y = static_cast<double>(y) / WindowHeight;
}

void OnMouseMove(int x, int y) {
  Pointer.x = static_cast<double>(x) / WindowWidth;
  Pointer.y = static_cast<double>(y) / WindowHeight;
}
