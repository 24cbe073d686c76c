#include "cabtt_fakes.h"

#include <algorithm>
#include <cmath>

#include "aggregate/block_output.h"
#include "app/camera.h"
#include "app/frame_loop.h"
#include "cabtt/cabtt_state.h"
#include "cabtt/cabtt_tree.h"
#include "support/test_terrain.h"
#include "terrain/height_field.h"

namespace {

constexpr int kGuard = 8;
constexpr float kVertexGuard = -4096.0f;
constexpr uint16_t kIndexGuard = 0xBEEF;

uint32_t Mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

struct GridPoint {
  int x;
  int y;
};

GridPoint Coordinates(VertexId id) {
  return {CurrentHeightField->GridX(id), CurrentHeightField->GridY(id)};
}

VertexId Id(GridPoint p) { return CurrentHeightField->Id(p.x, p.y); }

double Distance(VertexId a, VertexId b) {
  const Point3 p = CurrentHeightField->WorldPosition(a);
  const Point3 q = CurrentHeightField->WorldPosition(b);
  const double dx = p.x - q.x, dy = p.y - q.y, dz = p.z - q.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

// ---- RecordingGeometryCache

void RecordingGeometryCache::Init(int blockVertices_, int maxIndices_) {
  if (initialised_) Fault("Init without Shutdown");
  blockVertices = blockVertices_;
  maxIndices = maxIndices_;
  initialised_ = true;
  ++initCalls;
}

void RecordingGeometryCache::Shutdown() {
  live.clear();
  initialised_ = false;
  filling_ = false;
  ++shutdownCalls;
}

void RecordingGeometryCache::BeginBlock(CacheVertex** vertices, uint16_t** indices) {
  if (!initialised_) Fault("BeginBlock before Init");
  if (filling_) Fault("BeginBlock while filling");
  filling_ = true;
  vertices_.assign(blockVertices + kGuard, CacheVertex{kVertexGuard, kVertexGuard, kVertexGuard});
  indices_.assign(maxIndices + kGuard, kIndexGuard);
  *vertices = vertices_.data();
  *indices = indices_.data();
}

BlockHandle RecordingGeometryCache::EndBlock(int vertexCount, int indexCount) {
  if (!filling_) Fault("EndBlock without BeginBlock");
  filling_ = false;
  if (vertexCount < 0 || vertexCount > blockVertices) Fault("vertex count out of range");
  if (indexCount < 0 || indexCount > maxIndices || indexCount % 3 != 0) {
    Fault("index count out of range");
  }
  for (int i = 0; i < kGuard; ++i) {
    if (vertices_[blockVertices + i].x != kVertexGuard) Fault("vertices written past the block");
    if (indices_[maxIndices + i] != kIndexGuard) Fault("indices written past the block");
  }
  for (int i = 0; i < std::min(indexCount, maxIndices); ++i) {
    if (indices_[i] >= vertexCount) {
      Fault("index beyond the block's vertices");
      break;
    }
  }
  const BlockHandle handle = nextHandle_++;
  live[handle] = {vertexCount, indexCount};
  ++blocksBuilt;
  if (onDraw) onDraw(handle, true);
  return handle;
}

void RecordingGeometryCache::DrawBlock(BlockHandle handle) {
  if (filling_) Fault("DrawBlock while filling");
  if (live.count(handle) == 0) Fault("DrawBlock of a block that is not live");
  ++blocksRedrawn;
  if (onDraw) onDraw(handle, false);
}

void RecordingGeometryCache::ReleaseBlock(BlockHandle handle) {
  if (filling_) Fault("ReleaseBlock while filling");
  if (live.erase(handle) == 0) Fault("ReleaseBlock of a block that is not live");
  ++blocksReleased;
}

// ---- FakeAggregationBuilder

FakeAggregationBuilder::FakeAggregationBuilder(int level, bool adaptive, FakeErrors errors,
                                               uint32_t seed, float scale)
    : AggregationBuilder(level), adaptive_(adaptive), errors_(errors), seed_(seed), scale_(scale) {
  BuildErrorGrid();
}

float FakeAggregationBuilder::Noise(VertexId v) const {
  return static_cast<float>(Mix(static_cast<uint32_t>(v) * 2654435761U + seed_) >> 8) /
         static_cast<float>(1 << 24);
}

float FakeAggregationBuilder::AggregateError(VertexId left, VertexId right, VertexId apex) {
  if (errors_ == FakeErrors::kNested) return NestedError(left, right, apex);
  const double size = Distance(left, right);
  return static_cast<float>(3.0 * scale_ * size * Noise((left + right) >> 1));
}

// The error of a split vertex covers, over both triangles of its diamond, each child's
// error plus the distance to the child's split vertex.
float FakeAggregationBuilder::NestedError(VertexId left, VertexId right, VertexId apex) {
  const GridPoint p = Coordinates(left), q = Coordinates(right), a = Coordinates(apex);
  const GridPoint m = {(p.x + q.x) / 2, (p.y + q.y) / 2};
  const VertexId mid = Id(m);
  if (auto found = nested_.find(mid); found != nested_.end()) return found->second;
  const int N = CurrentHeightField->N;
  const int step = 1 << level;
  double covered = 0.0;
  const GridPoint otherApex = {2 * m.x - a.x, 2 * m.y - a.y};
  for (GridPoint x : {a, otherApex}) {
    if (x.x < 0 || x.y < 0 || x.x > N || x.y > N) continue;  // border: no second triangle
    const GridPoint hypotenuses[2][2] = {{x, p}, {q, x}};
    for (const auto& h : hypotenuses) {
      const bool finest = std::abs(h[0].x - h[1].x) == step && std::abs(h[0].y - h[1].y) == step;
      if (finest || std::abs(h[0].x - h[1].x) + std::abs(h[0].y - h[1].y) < 2 * step) continue;
      const VertexId childMid = Id({(h[0].x + h[1].x) / 2, (h[0].y + h[1].y) / 2});
      const double child = NestedError(Id(h[0]), Id(h[1]), mid);
      covered = std::max(covered, child + 1.5 * Distance(mid, childMid));
    }
  }
  const float error =
      static_cast<float>(covered + 0.5 * scale_ * Distance(left, right) * Noise(mid));
  nested_[mid] = error;
  return error;
}

int FakeAggregationBuilder::GenerateVertices(VertexId left, VertexId right, VertexId apex) {
  ++generateCalls;
  if (!EmitVertices) ++callsWithoutEmit;
  const int side = 1 << level;
  const int maxVertices = (side + 1) * (side + 2) / 2;
  pendingTriangles_ =
      subTriangleCapacity > 1
          ? 1 + static_cast<int>(Mix(static_cast<uint32_t>(left ^ (right << 7))) %
                                 static_cast<uint32_t>(subTriangleCapacity - 1))
          : 1;
  pendingVertices_ = std::min(pendingTriangles_ + 2, maxVertices);
  const VertexId corners[3] = {left, right, apex};
  for (int i = 0; i < pendingVertices_; ++i) {
    *BlockVertexCursor++ = CurrentHeightField->WorldPosition(corners[i % 3]);
  }
  return pendingTriangles_;
}

void FakeAggregationBuilder::GenerateIndices() {
  for (int i = 0; i < pendingTriangles_; ++i) {
    for (int j = 0; j < 3; ++j) *BlockIndexCursor++ = static_cast<uint16_t>((i + j) % pendingVertices_);
  }
}

void FakeAggregationBuilder::SetError(VertexId v, float error) {
  errorGrid[((v >> level) & (2 * coarseSide - 1)) + (v >> coarseRowShift) * (coarseSide + 1)] = error;
}

void FakeAggregationBuilder::ClearErrors() {
  std::fill(errorGrid, errorGrid + (coarseSide + 1) * (coarseSide + 1), 0.0f);
}

FakeAggregationBuilder* InstallFakeBuilder(int level, bool adaptive, FakeErrors errors,
                                           uint32_t seed, float scale) {
  DiscardAggregationBuilder();
  auto* builder = new FakeAggregationBuilder(level, adaptive, errors, seed, scale);
  CurrentAggregationBuilder = builder;
  return builder;
}

RecordingGeometryCache* InstallCabttTestWorld(int n) {
  ResetViewState();
  ResetFrameLoop();
  ResetCabttState();
  WindowWidth = 640;
  WindowHeight = 480;
  InstallRoughTerrain(n, 7);
  DestroyGeometryCache();
  auto* cache = new RecordingGeometryCache;
  ActiveCache = cache;
  return cache;
}

void RemoveCabttTestWorld() {
  if (CabttRoots != nullptr && ActiveCache != nullptr) DestroyCabtt();
  ResetCabttState();
  DiscardAggregationBuilder();
  DestroyGeometryCache();
  DestroyHeightField();
}
