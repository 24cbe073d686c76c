// Throughput of the two geometry caches on Mesa: Standard ROAM's streaming (begin, write 1024
// vertices, end, release) and CABTT's redraws of cached level-3 blocks. The video-memory cache
// runs on the fake NV platform with fences that complete at once.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"
#include "support/fake_nv_platform.h"
#include "support/gl_context.h"

namespace {

constexpr int kGridSide = 32;  // 32 x 32 vertices: Standard ROAM's 1024-vertex block
constexpr int kFinishEvery = 256;

// A context, a fake NV platform and identity matrices; the geometry lands in a few pixels so
// that the figures measure the cache and the vertex path rather than rasterisation.
void PrepareGL(FakeNvPlatform& fake) {
  if (!MakeTestGLContextCurrent()) std::abort();
  fake.Reset();
  fake.CompleteFencesAtOnce();
  ActiveNvPlatform = &fake;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
}

// Triangles over a width x height vertex grid, two per cell, capped at maxIndices.
int WriteGrid(CacheVertex* vertices, uint16_t* indices, int width, int height, int maxIndices) {
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) vertices[y * width + x] = {0.001f * x, 0.001f * y, 0.0f};
  int count = 0;
  for (int y = 0; y + 1 < height; ++y)
    for (int x = 0; x + 1 < width && count + 6 <= maxIndices; ++x) {
      const uint16_t a = static_cast<uint16_t>(y * width + x), b = a + 1, c = a + width, d = c + 1;
      const uint16_t cell[6] = {a, b, d, a, d, c};
      for (uint16_t index : cell) indices[count++] = index;
    }
  return count;
}

template <typename Cache>
void BM_StreamedBlocks(benchmark::State& state) {
  FakeNvPlatform fake;
  PrepareGL(fake);
  Cache cache;
  cache.Init(1024, 3066);
  long blocks = 0;
  for (auto _ : state) {
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    cache.BeginBlock(&vertices, &indices);
    const int indexCount = WriteGrid(vertices, indices, kGridSide, kGridSide, 3066);
    cache.ReleaseBlock(cache.EndBlock(kGridSide * kGridSide, indexCount));
    if (++blocks % kFinishEvery == 0) glFinish();
  }
  glFinish();
  cache.Shutdown();
  ActiveNvPlatform = nullptr;
  state.SetItemsProcessed(state.iterations());
}

template <typename Cache>
void BM_CachedRedraws(benchmark::State& state) {
  FakeNvPlatform fake;
  PrepareGL(fake);
  Cache cache;
  cache.Init(45, 192);  // CABTT at aggregation level 3
  std::vector<BlockHandle> blocks;
  for (int i = 0; i < 256; ++i) {
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    cache.BeginBlock(&vertices, &indices);
    // 9 x 5 = 45 vertices; 32 cells = 64 triangles = 192 indices.
    const int indexCount = WriteGrid(vertices, indices, 9, 5, 192);
    blocks.push_back(cache.EndBlock(45, indexCount));
  }
  size_t next = 0;
  long draws = 0;
  for (auto _ : state) {
    cache.DrawBlock(blocks[next]);
    next = (next + 1) % blocks.size();
    if (++draws % kFinishEvery == 0) glFinish();
  }
  glFinish();
  for (BlockHandle block : blocks) cache.ReleaseBlock(block);
  cache.Shutdown();
  ActiveNvPlatform = nullptr;
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK_TEMPLATE(BM_StreamedBlocks, SystemMemoryCache)->UseRealTime();
BENCHMARK_TEMPLATE(BM_StreamedBlocks, VideoMemoryCache)->UseRealTime();
BENCHMARK_TEMPLATE(BM_CachedRedraws, SystemMemoryCache)->UseRealTime();
BENCHMARK_TEMPLATE(BM_CachedRedraws, VideoMemoryCache)->UseRealTime();

}  // namespace
