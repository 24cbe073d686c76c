#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/platform/log_sink.h"
#include "app/view/draw_method.h"
#include "cabtt/cabtt_method.h"
#include "cache/counting_cache.h"
#include "headless/bench_engine.h"
#include "roam/roam_method.h"

// The program's world on a real height-field file in the test's GL context, drawn by the real
// drawing methods as the window draws them: the start-up's terrain (scale 0.1, error metric with
// the weight 600, slope-shading texture as texture object 1, fixed GL state), the start-up view
// with camera 0 and its projection, and both methods on one kind of cache (the system-memory cache
// unless told otherwise), each cache wrapped in a counter. The terrain of a path is prepared once per test process (it is
// expensive) and kept for the next scene of the same path.

constexpr int kSceneWidth = 640;
constexpr int kSceneHeight = 480;

// The clear colour of the flown camera, and of the overhead cameras, in bytes.
constexpr uint8_t kSkyRgb[3] = {102, 153, 255};
constexpr uint8_t kOverheadBackgroundRgb[3] = {255, 255, 255};

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

// An RGB frame read back from the context, bottom row first.
struct FrameImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;

  const uint8_t* Pixel(int x, int y) const { return &rgb[3 * (static_cast<std::size_t>(y) * width + x)]; }
};

class TerrainScene {
 public:
  // Needs a current GL context of width x height (made current here).
  // The kind of cache must be one the test's GL serves.
  explicit TerrainScene(const char* path, int width = kSceneWidth, int height = kSceneHeight,
                        CacheKind caches = CacheKind::kSystemMemory);
  ~TerrainScene();
  TerrainScene(const TerrainScene&) = delete;
  TerrainScene& operator=(const TerrainScene&) = delete;

  const Terrain& terrain() const { return scene_->terrain; }
  const HeightField& field() const { return scene_->terrain.field; }
  ViewState& view() { return scene_->view; }
  RoamMethod& roam() { return *roam_; }
  CabttMethod& cabtt() { return *cabtt_; }
  // The counter around the current method's cache (null before its first activation).
  CountingCache* cache() { return current_ == roam_.get() ? roamCache_ : current_ == cabtt_.get() ? cabttCache_ : nullptr; }
  FrameStats& stats() { return stats_; }
  BufferLogSink& log() { return log_; }

  // Makes the method current (null: none), deactivating the previous one first. The method's
  // failure fails the test.
  void Use(DrawMethod* method);
  DrawMethod* current() { return current_; }
  // Rebuilds CABTT (which must be current) for a level and builder kind.
  void UseAggregation(int level, bool adaptive);

  // Camera 0 at the viewpoint, level, looking along the heading (the flight model's camera update).
  void Place(const Viewpoint& view);
  // Selects a camera (0 flown, 1 and 2 overhead) and applies its projection.
  void SelectCamera(int camera);

  // One frame as the window draws it (cleared, drawn by the current method, counted), waited for.
  void DrawFrame();
  // DrawFrame, then the pixels.
  FrameImage Render();

 private:
  std::string path_;
  std::unique_ptr<BenchScene> scene_;
  BufferLogSink log_;
  CountingCache* roamCache_ = nullptr;
  CountingCache* cabttCache_ = nullptr;
  std::unique_ptr<RoamMethod> roam_;
  std::unique_ptr<CabttMethod> cabtt_;
  DrawMethod* current_ = nullptr;
  FrameStats stats_;
  int width_;
  int height_;
};

// A control for the crack check: sinks the first vertex of every block the current method of the
// scene writes (a vertex it shares with neighbouring triangles) by 0.002 and returns in how many
// survey views the check then finds cracks.
int SurveyViewsCrackedBySunkenBlockVertices(TerrainScene& scene);
