#pragma once
#include <cstdint>
#include <vector>

#include "app/view/draw_method.h"
#include "terrain/height_field.h"

// The reference drawing method: the whole grid at full resolution from static GL buffer objects,
// uploaded at activation, so a frame costs the GL and nothing else. Its triangles are the
// bintree's finest level, so CABTT at the whole-grid level draws the same picture. It draws in
// wireframe mode 0 whatever the view asks.
class BruteForceMethod final : public DrawMethod {
 public:
  explicit BruteForceMethod(const HeightField& field) : field_(field) {}
  ~BruteForceMethod() override;

  Status Activate(const FrameView& view) override;
  Status Draw(const FrameView& view, FrameStats& stats) override;
  void Deactivate() override;
  MethodCounters& Counters() override { return counters_; }

  // Draw calls issued since construction (no cache counts them here). No vertex or index bytes
  // reach the driver after activation.
  int64_t drawCalls() const { return drawCalls_; }

 private:
  const HeightField& field_;
  MethodCounters counters_;  // nothing is counted
  unsigned vertexBuffer_ = 0;
  unsigned indexBuffer_ = 0;
  int indexCount_ = 0;
  int64_t drawCalls_ = 0;
};

// Vertex indices (x + y (N + 1)) of every finest-level bintree triangle of the field, three per
// triangle, counter-clockwise seen from above: the two top triangles of the square bisected
// through HypotenuseSplitVertex down to single-cell halves.
std::vector<uint32_t> FinestBintreeTriangles(const HeightField& field);
