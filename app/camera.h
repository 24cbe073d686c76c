#pragma once
#include "terrain/point3.h"

// One of the three views: 0 flown, 1 overhead following camera 0, 2 fixed overhead.
struct CameraView {
  Point3 eye;
  Point3 centre;
  float fieldOfView;  // vertical, degrees
};

struct FlightState {
  float x;
  float y;
  float eyeHeight;
  float clearance;
  float heading;  // radians from +x towards +y
  float vx;
  float vy;
  float vz;
  bool moved;  // any change of the view since the last redraw
};

struct PointerState {
  bool leftDown;
  double x;  // fractions of the window width and height
  double y;
};

extern CameraView Cameras[3];
extern Point3 CameraUp[3];
extern int CurrentCamera;
extern FlightState Flight;
extern PointerState Pointer;
extern int WindowWidth;
extern int WindowHeight;
extern float VerticalScale;

extern int SpeedUp;
extern bool Paused;
extern int CullingLevel;   // 0..30
extern int WireframeMode;  // 0..3
extern bool FullScreen;
extern int SavedWindowWidth;
extern int SavedWindowHeight;

constexpr int kMaxSpeedUp = 1 << 30;

// The zoom keys keep a camera's vertical field of view within [narrowest, widest), in degrees.
constexpr float kNarrowestFieldOfView = 0.001f;
constexpr float kWidestFieldOfView = 180.0f;

// Puts cameras, flight, pointer and view settings back to their start values
// (clearance 0.2 x VerticalScale).
void ResetViewState();

// Steering curve of a pointer fraction: -1 at 0, 0 in 0.45..0.55, +1 at 1.
double FlightResponse(double v);

// Advances the flight model by step units of one smoothed frame.
void UpdateFlight(double step);

// Copies the flight position into cameras 0 and 1.
void UpdateCameras();

// Loads the current camera's view as the model-view matrix.
void LoadCameraModelView();

// GLUT callbacks.
void Reshape(int width, int height);
void OnMouseButton(int button, int state, int x, int y);
void OnMouseMove(int x, int y);
