#pragma once
#include <memory>
#include <string>

#include "app/platform/failure.h"
#include "app/platform/log_sink.h"
#include "app/view/frame_view.h"
#include "cabtt/cabtt_method.h"
#include "cache/counting_cache.h"
#include "headless/bench_engine.h"
#include "roam/roam_method.h"

// The program's world on the default terrain file, offscreen at the window's start-up size, as
// the benchmark program draws it: the start-up's terrain, texture and GL state, camera 0, and
// both real drawing methods on system-memory caches, each cache wrapped in a counter.
class MethodScene {
 public:
  static constexpr int kWidth = 640;
  static constexpr int kHeight = 480;

  // The scene of the file at terrainPath, prepared on first use and kept for the process (the
  // terrain is expensive to prepare); a failure to get a context or the terrain comes back.
  static Result<MethodScene*> Shared(const std::string& terrainPath);
  ~MethodScene();
  MethodScene(const MethodScene&) = delete;
  MethodScene& operator=(const MethodScene&) = delete;

  const HeightField& field() const { return scene_->terrain.field; }
  ViewState& view() { return scene_->view; }
  FrameView View() const { return MakeFrameView(scene_->view); }
  RoamMethod& roam() { return *roam_; }
  CabttMethod& cabtt() { return *cabtt_; }
  // The counter around the current method's cache (null when none is current).
  CountingCache* cache();

  // Makes the method current (null: none), deactivating the previous one first.
  Status Use(DrawMethod* method);
  // Camera 0 (and the overhead camera that follows it) where the flight model has it.
  void FlyTo(const FlightState& flight);
  // One frame as the window draws it with camera 0: cleared, drawn by the current method, waited
  // for.
  Status DrawFrame(FrameStats& stats);

 private:
  explicit MethodScene(std::unique_ptr<BenchScene> scene);

  std::unique_ptr<BenchScene> scene_;
  NullLogSink log_;
  CountingCache* roamCache_ = nullptr;
  CountingCache* cabttCache_ = nullptr;
  std::unique_ptr<RoamMethod> roam_;
  std::unique_ptr<CabttMethod> cabtt_;
  DrawMethod* current_ = nullptr;
};
