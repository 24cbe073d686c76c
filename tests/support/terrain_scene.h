#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/scene_setup.h"

// The program's world on a real height-field file, drawn through the real draw-method table into
// the test context: the start-up's terrain set-up (height field, error metric with the weight
// 600, slope-shading texture as texture object 1, fixed GL state), camera 0 placed as the flight
// model's camera update places it, the projection set up by Reshape, and frames rendered by
// DisplayFrame. Needs a current GL context of kSceneWidth x kSceneHeight, or of the size given to
// UseSceneSize.

constexpr int kSceneWidth = 640;
constexpr int kSceneHeight = 480;

// Record indices of the draw-method table, as start-up fills it.
constexpr int kRoamMethod = kRoamMethodIndex;
constexpr int kCabttMethod = kCabttMethodIndex;

// Loads the height field at path with the vertical scale 0.1 and builds everything above. A
// scene already loaded from the same path is kept (the terrain is expensive to prepare). The
// scene is drawn at kSceneWidth x kSceneHeight.
void LoadTerrainScene(const char* path);

// Remakes the test context's surface at width x height and draws the scene at that size (the
// rasterizer's share of a frame shrinks with it). False when the surface cannot be made. The
// next GLTest and LoadTerrainScene go back to the full size.
bool UseSceneSize(int width, int height);

// Deactivates the current method and frees the terrain, texture and method table.
void UnloadTerrainScene();

// Where the flown camera stands: ground position, heading (radians from +x towards +y) and the
// height of the eye above the ground.
struct Viewpoint {
  float x;
  float y;
  float heading;
  float clearance;
};

// Views of the default terrain from inside the square: low and high over valleys and ridges,
// towards the far side and out over the near border, each with a silhouette against the sky.
const std::vector<Viewpoint>& SurveyViewpoints();

// Camera 0 at the viewpoint, level, looking along the heading (the flight model's camera update).
void PlaceCamera(const Viewpoint& view);

// Selects a camera (0 flown, 1 and 2 overhead) and applies its projection.
void SelectCamera(int camera);

// Makes a record of the draw-method table current (activating it); -1 deactivates. The methods'
// console messages are swallowed.
void UseDrawMethod(int method);

// Rebuilds the CABTT tree for a level and builder kind (the method must be current).
void UseAggregation(int level, bool adaptive);

// An RGB frame read back from the context, bottom row first.
struct FrameImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;

  const uint8_t* Pixel(int x, int y) const { return &rgb[3 * (static_cast<std::size_t>(y) * width + x)]; }
};

// DisplayFrame (clear, the current method's draw, swap), waiting until the GL has drawn it.
void DrawSceneFrame();

// DrawSceneFrame, then the pixels.
FrameImage RenderFrame();

// A control for the crack check: sinks the first vertex of every block the current method writes
// (a vertex it shares with neighbouring triangles) by 0.002 and returns in how many survey views
// the check then finds cracks.
int SurveyViewsCrackedBySunkenBlockVertices();

// The clear colour that DisplayFrame uses for the flown camera, in bytes.
constexpr uint8_t kSkyRgb[3] = {102, 153, 255};
// The clear colour for the overhead cameras.
constexpr uint8_t kOverheadBackgroundRgb[3] = {255, 255, 255};
