#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/platform/log_sink.h"
#include "app/view/draw_method.h"
#include "app/view/frame_view.h"
#include "cabtt/cabtt_method.h"
#include "fake_builder.h"
#include "support/gl_context.h"
#include "support/recording_cache.h"
#include "terrain/terrain.h"

// Empty when the cache's live blocks are exactly those the tree's leaves hold (none when the tree
// is stopped), each leaf's block with three indices per sub-triangle it counts, and the cache saw
// no misuse; else the first violation. The tree itself is CheckTreeInvariants' business.
std::string CheckCachedBlocks(const CabttTree& tree, const RecordingCache& cache);

// CABTT over a generated terrain of side 2^n + 1 (rough, or flat with a zero metric), with fake
// builders and a recording cache at each activation, drawn frame by frame in the test's GL context
// as the window draws it. The GL state is restored after each test.
class CabttTest : public GLTest {
 protected:
  explicit CabttTest(int n = 6, bool flat = false) : n_(n), flat_(flat) {}
  void SetUp() override;
  void TearDown() override;

  // Sets the level and kind and activates with camera 0 at eye.
  void Start(int level, bool adaptive = true, Point3 eye = {0.5f, 0.5f, 0.05f});
  // Camera 0 at eye looking level along heading (radians from +x towards +y), with the fixture's
  // culling level and wireframe mode.
  FrameView View(const Point3& eye, float heading = 0.0f) const;
  // One frame as the window draws it; a failure fails the test.
  void Frame(const Point3& eye, float heading = 0.0f);
  // The tree invariants and the cached blocks; empty when sound.
  std::string Check() const;

  FakeAggregationBuilder& Fake() { return *static_cast<FakeAggregationBuilder*>(method_->builder()); }
  const HeightField& field() const { return terrain_->field; }
  VertexId Id(int x, int y) const { return terrain_->field.Id(x, y); }

  const int n_;
  const bool flat_;
  // What the builders the method asks for are like.
  FakeErrors errors_ = FakeErrors::kNested;
  uint32_t seed_ = 1;
  float scale_ = 1.0f;
  int cullingLevel_ = 14;
  int wireframeMode_ = 0;

  std::unique_ptr<Terrain> terrain_;
  BufferLogSink log_;
  std::vector<std::pair<int, bool>> builderRequests_;  // (level, adaptive) of every builder made
  RecordingCache* cache_ = nullptr;                     // the cache of the latest activation
  std::unique_ptr<CabttMethod> method_;
  FrameStats stats_;
};
