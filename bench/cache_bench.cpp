// Throughput of the geometry caches on this machine's GL: Standard ROAM's streaming (begin,
// write 1024 vertices, end, release) and CABTT's redraws of cached level-3 blocks, flushed every
// 256 blocks as a drawing pass would. The video-memory cache runs on a stand-in NV layer whose
// memory is the heap (read by the GL as client arrays) and whose fences are complete at once; the
// buffer-storage cache on the driver.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "app/platform/buffer_storage_platform.h"
#include "app/platform/log_sink.h"
#include "app/platform/nv_platform.h"
#include "cache/buffer_storage_cache.h"
#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"
#include "bench_context.h"

namespace {

constexpr int kGridSide = 32;  // 32 x 32 vertices: Standard ROAM's 1024-vertex block
constexpr int kFinishEvery = 256;

class InstantNvPlatform final : public NvPlatform {
 public:
  void* AllocateMemory(GLsizei size, GLfloat, GLfloat, GLfloat) override {
    return std::malloc(static_cast<size_t>(size));
  }
  void FreeMemory(void* pointer) override { std::free(pointer); }
  void VertexArrayRange(GLsizei, const void*) override {}
  void EnableVertexArrayRange(bool) override {}
  void GenFences(GLsizei count, GLuint* fences) override {
    for (GLsizei i = 0; i < count; ++i) fences[i] = ++lastFence_;
  }
  void SetFence(GLuint, GLenum) override {}
  GLboolean TestFence(GLuint) override { return GL_TRUE; }
  void FinishFence(GLuint) override {}
  void DeleteFences(GLsizei, const GLuint*) override {}

 private:
  GLuint lastFence_ = 0;
};

// Owns whatever a cache kind needs besides the cache.
struct CacheUnderTest {
  InstantNvPlatform nv;
  std::unique_ptr<BufferStoragePlatform> buffers = CreateDriverBufferStoragePlatform();
  NullLogSink log;
  std::unique_ptr<GeometryCache> cache;
};

template <class Cache>
std::unique_ptr<CacheUnderTest> MakeCache() {
  auto made = std::make_unique<CacheUnderTest>();
  if constexpr (std::is_same_v<Cache, VideoMemoryCache>)
    made->cache = std::make_unique<VideoMemoryCache>(made->nv, made->log);
  else if constexpr (std::is_same_v<Cache, BufferStorageCache>)
    made->cache = std::make_unique<BufferStorageCache>(*made->buffers, made->log);
  else
    made->cache = std::make_unique<SystemMemoryCache>();
  return made;
}

// A context and identity matrices; the geometry lands in a few pixels so that the figures
// measure the cache and the vertex path rather than rasterisation.
bool PrepareGL(benchmark::State& state) {
  const Status context = MakeBenchContextCurrent(640, 480);
  if (!context.ok()) {
    state.SkipWithError(context.failure().message.c_str());
    return false;
  }
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  return true;
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
  if (!PrepareGL(state)) return;
  const std::unique_ptr<CacheUnderTest> made = MakeCache<Cache>();
  GeometryCache& cache = *made->cache;
  if (!cache.Init(1024, 3066).ok()) {
    state.SkipWithError("the cache cannot be set up");
    return;
  }
  long blocks = 0;
  for (auto _ : state) {
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    if (!cache.BeginBlock(&vertices, &indices).ok()) {
      state.SkipWithError("no block");
      break;
    }
    const int indexCount = WriteGrid(vertices, indices, kGridSide, kGridSide, 3066);
    cache.ReleaseBlock(cache.EndBlock(kGridSide * kGridSide, indexCount));
    if (++blocks % kFinishEvery == 0) {
      cache.Flush();
      glFinish();
    }
  }
  cache.Flush();
  glFinish();
  cache.Shutdown();
  state.SetItemsProcessed(state.iterations());
}

template <typename Cache>
void BM_CachedRedraws(benchmark::State& state) {
  if (!PrepareGL(state)) return;
  const std::unique_ptr<CacheUnderTest> made = MakeCache<Cache>();
  GeometryCache& cache = *made->cache;
  if (!cache.Init(45, 192).ok()) {  // CABTT at aggregation level 3
    state.SkipWithError("the cache cannot be set up");
    return;
  }
  std::vector<BlockHandle> blocks;
  for (int i = 0; i < 256; ++i) {
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    if (!cache.BeginBlock(&vertices, &indices).ok()) break;
    // 9 x 5 = 45 vertices; 32 cells = 64 triangles = 192 indices.
    const int indexCount = WriteGrid(vertices, indices, 9, 5, 192);
    blocks.push_back(cache.EndBlock(45, indexCount));
  }
  if (blocks.size() < 256) state.SkipWithError("no block");
  size_t next = 0;
  long draws = 0;
  for (auto _ : state) {
    cache.DrawBlock(blocks[next]);
    next = (next + 1) % blocks.size();
    if (++draws % kFinishEvery == 0) {
      cache.Flush();
      glFinish();
    }
  }
  cache.Flush();
  glFinish();
  for (BlockHandle block : blocks) cache.ReleaseBlock(block);
  cache.Shutdown();
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK_TEMPLATE(BM_StreamedBlocks, SystemMemoryCache)->UseRealTime();
BENCHMARK_TEMPLATE(BM_StreamedBlocks, VideoMemoryCache)->UseRealTime();
BENCHMARK_TEMPLATE(BM_CachedRedraws, SystemMemoryCache)->UseRealTime();
BENCHMARK_TEMPLATE(BM_CachedRedraws, VideoMemoryCache)->UseRealTime();
BENCHMARK_TEMPLATE(BM_StreamedBlocks, BufferStorageCache)->UseRealTime();
BENCHMARK_TEMPLATE(BM_CachedRedraws, BufferStorageCache)->UseRealTime();

}  // namespace
