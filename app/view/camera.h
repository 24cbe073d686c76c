#pragma once
#include "terrain/height_field.h"
#include "terrain/point3.h"

// One of the three views: 0 flown, 1 overhead following camera 0, 2 fixed overhead of the whole
// terrain.
struct CameraView {
  Point3 eye;
  Point3 centre;
  float fieldOfView;  // vertical, degrees
  Point3 up;
};

// The flown camera's motion. The flight model's time unit is one smoothed frame.
struct FlightState {
  float x;
  float y;
  float eyeHeight;
  float clearance;  // wanted height of the eye above the ground
  float heading;    // radians from +x towards +y
  float vx;         // change of x, y and eye height per unit step in the last update
  float vy;
  float vz;
  bool moved;  // any change of the view since the last redraw
};

struct PointerState {
  bool leftDown;
  double x;  // fractions of the window width and height
  double y;
};

// Everything about how the terrain is looked at: cameras, flight, pointer, window and the view
// settings the keys change.
struct ViewState {
  CameraView cameras[3];
  int currentCamera;
  FlightState flight;
  PointerState pointer;
  int windowWidth;
  int windowHeight;
  int speedUp;
  bool paused;
  int cullingLevel;   // 0..30: how deep the drawing methods test the view wedge
  int wireframeMode;  // 0..3
  bool fullScreen;
  int savedWindowWidth;  // the window's size before full screen
  int savedWindowHeight;

  const CameraView& Current() const { return cameras[currentCamera]; }
};

constexpr int kMaxSpeedUp = 1 << 30;

// The zoom keys keep a camera's vertical field of view within [narrowest, widest), in degrees.
constexpr float kNarrowestFieldOfView = 0.001f;
constexpr float kWidestFieldOfView = 180.0f;

// The start: camera 0 at the centre of the terrain looking along +x, a 640 x 480 window, the
// clearance 0.2 x verticalScale.
ViewState StartViewState(float verticalScale);

// Steering curve of a pointer fraction: -1 at 0, 0 in 0.45..0.55, +1 at 1.
double FlightResponse(double v);

// Advances the flight by step units of one smoothed frame: steered while the left button is
// held, coasting to rest when not, clamped to the unit square, the eye easing towards the ground
// plus the clearance. Nothing moves while paused.
void UpdateFlight(FlightState& flight, const PointerState& pointer, bool paused, const HeightField& field,
                  double step);

// Copies the flight position into cameras 0 and 1.
void UpdateCameras(ViewState& view);

// The viewport and the current camera's perspective for the window's size.
void ApplyProjection(const ViewState& view);

// Loads the camera's view as the model-view matrix.
void LoadModelView(const CameraView& camera);
