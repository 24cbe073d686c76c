#include "cache_stress.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

#include "cache/cache_storage.h"

namespace {

constexpr int kCells = kCellColumns * kCellRows;
constexpr int kMaxLive = 10;

bool SameFailure(const Failure& a, const Failure& b) {
  return a.message == b.message && a.channel == b.channel && a.exitStatus == b.exitStatus &&
         a.quitOrderly == b.quitOrderly;
}

// The texel of a cell: red, with the cell's column and row in green and blue.
std::array<GLubyte, 4> CellColour(int cell) {
  return {255, static_cast<GLubyte>(8 * (cell % kCellColumns)), static_cast<GLubyte>(64 * (cell / kCellColumns)), 255};
}

void UseCellPicture(GLuint texture) {
  std::array<GLubyte, 4 * kCells> texels{};
  for (int cell = 0; cell < kCells; ++cell) std::copy_n(CellColour(cell).begin(), 4, &texels[4 * cell]);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kCellColumns, kCellRows, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glEnable(GL_TEXTURE_2D);
  for (GLenum capability : {GL_DEPTH_TEST, GL_CULL_FACE, GL_LIGHTING, GL_BLEND, GL_FOG}) glDisable(capability);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glViewport(0, 0, kCellColumns, kCellRows);
  glScissor(0, 0, kCellColumns, kCellRows);
  glEnable(GL_SCISSOR_TEST);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, 1.0, 0.0, 1.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

void ClearCells() { glClear(GL_COLOR_BUFFER_BIT); }

void WriteCellBlock(CacheVertex* vertices, uint16_t* indices, int blockVertices, int cell, int second, int third,
                    int indexCount) {
  const int last = blockVertices - 1;
  const float x0 = static_cast<float>(cell % kCellColumns) / kCellColumns, x1 = x0 + 1.0f / kCellColumns;
  const float y0 = static_cast<float>(cell / kCellColumns) / kCellRows, y1 = y0 + 1.0f / kCellRows;
  vertices[0] = {x0, y0, 0.0f};
  vertices[second] = {x1, y0, 0.0f};
  vertices[third] = {x1, y1, 0.0f};
  vertices[last] = {x0, y1, 0.0f};
  for (int i = 0; i + 6 < indexCount; ++i) indices[i] = 0;  // degenerate: nothing to see
  if (indexCount == 0) return;
  const int quad[6] = {0, second, third, 0, third, last};
  for (int i = 0; i < 6; ++i) indices[indexCount - 6 + i] = static_cast<uint16_t>(quad[i]);
}

// Exactly the given cells show their colours; the others are black.
::testing::AssertionResult ShowsCells(const std::set<int>& cells) {
  std::array<GLubyte, 4 * kCells> pixels{};
  glReadPixels(0, 0, kCellColumns, kCellRows, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  for (int i = 0; i < kCells; ++i) {
    const std::array<GLubyte, 4> expected = cells.count(i) != 0 ? CellColour(i) : std::array<GLubyte, 4>{0, 0, 0, 255};
    if (!std::equal(expected.begin(), expected.begin() + 3, &pixels[4 * i]))
      return ::testing::AssertionFailure() << "cell " << i << " shows " << int{pixels[4 * i]} << ","
                                           << int{pixels[4 * i + 1]} << "," << int{pixels[4 * i + 2]};
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ShowsOnly(int cell, bool drawn) {
  return ShowsCells(drawn ? std::set<int>{cell} : std::set<int>{})
         << " after drawing the block of cell " << cell << (drawn ? "" : " (which draws nothing)");
}

}  // namespace

std::set<BlockHandle> CacheHistory::LiveHandles() const {
  std::set<BlockHandle> handles;
  for (const auto& entry : live) handles.insert(entry.first);
  return handles;
}

CacheStress::CacheStress(GeometryCache& cache, ScriptedAllocator& allocator, uint32_t seed,
                         std::function<void(std::mt19937&)> idle)
    : cache_(cache), allocator_(allocator), random_(seed), idle_(std::move(idle)) {}

CacheStress::~CacheStress() {
  if (texture_ != 0) glDeleteTextures(1, &texture_);
}

Status CacheStress::Start(int blockVertices, int maxIndices) {
  blockVertices_ = blockVertices;
  maxIndices_ = maxIndices;
  history_.live.clear();
  history_.peakLive = 0;
  if (texture_ == 0) glGenTextures(1, &texture_);
  UseCellPicture(texture_);
  allocator_.GrantAll();  // a refusal left unused by the previous session is not Init's
  return cache_.Init(blockVertices, maxIndices);
}

void CacheStress::Stop() {
  cache_.Shutdown();
  history_.live.clear();
}

BlockHandle CacheStress::PickLive() {
  auto it = history_.live.begin();
  std::advance(it, std::uniform_int_distribution<size_t>(0, history_.live.size() - 1)(random_));
  return it->first;
}

::testing::AssertionResult CacheStress::Step() {
  const int action = std::uniform_int_distribution<int>(0, 9)(random_);
  const bool anyLive = !history_.live.empty();
  if (action < 4 && history_.live.size() < kMaxLive) return Build();
  if (action < 7 && anyLive) return Redraw(PickLive());
  lastBlock_ = kNoBlock;
  if (action < 9 && anyLive) {
    Release(PickLive());
    return ::testing::AssertionSuccess();
  }
  lastAction_ = Action::kIdle;
  if (idle_) idle_(random_);
  return ::testing::AssertionSuccess();
}

void CacheStress::Release(BlockHandle handle) {
  lastAction_ = Action::kRelease;
  lastBlock_ = handle;
  cache_.ReleaseBlock(handle);
  history_.live.erase(handle);
  ++history_.released;
}

::testing::AssertionResult CacheStress::Build() {
  lastAction_ = Action::kBuild;
  lastBlock_ = kNoBlock;
  ClearCells();
  if (refuseAtRandom && std::uniform_int_distribution<int>(0, 19)(random_) == 0)
    allocator_.RefuseOneAfter(std::uniform_int_distribution<int>(0, 2)(random_));
  const long storageBefore = cache_.StorageInUse();
  const long refusalsBefore = allocator_.refusals;
  CacheVertex* vertices = nullptr;
  uint16_t* indices = nullptr;
  const Status begun = cache_.BeginBlock(&vertices, &indices);
  const bool refused = allocator_.refusals != refusalsBefore;
  if (!begun.ok()) {
    lastAction_ = Action::kRefused;
    if (!refused) return ::testing::AssertionFailure() << "BeginBlock failed unprompted: " << begun.failure().message;
    if (!SameFailure(begun.failure(), OutOfCacheMemory()))
      return ::testing::AssertionFailure() << "a refused allocation failed with " << begun.failure().message;
    if (cache_.StorageInUse() != storageBefore)
      return ::testing::AssertionFailure()
             << "a failed BeginBlock kept " << cache_.StorageInUse() - storageBefore << " allocations";
    return ::testing::AssertionSuccess();
  }
  if (refused) return ::testing::AssertionFailure() << "BeginBlock went on past a refused allocation";

  const int cell = nextCell_++ % kCells;
  const int second = std::uniform_int_distribution<int>(1, blockVertices_ - 3)(random_);
  const int third = std::uniform_int_distribution<int>(second + 1, blockVertices_ - 2)(random_);
  const int mostTriangles = maxIndices_ / 3;
  int triangles = 0;
  const int shape = std::uniform_int_distribution<int>(0, 9)(random_);
  if (shape >= 2) triangles = shape < 5 ? mostTriangles : std::uniform_int_distribution<int>(2, mostTriangles)(random_);
  const int indexCount = 3 * triangles;
  WriteCellBlock(vertices, indices, blockVertices_, cell, second, third, indexCount);

  if (beforeDraw) beforeDraw();
  const BlockHandle handle = cache_.EndBlock(blockVertices_, indexCount);
  cache_.Flush();
  ++history_.built;
  lastBlock_ = handle;
  if (handle == kNoBlock) return ::testing::AssertionFailure() << "EndBlock returned no block";
  if (history_.live.count(handle) != 0) return ::testing::AssertionFailure() << "a live block was handed out again";
  history_.live[handle] = {cell, indexCount > 0};
  history_.peakLive = std::max(history_.peakLive, history_.live.size());
  return ShowsOnly(cell, indexCount > 0) << " (EndBlock)";
}

::testing::AssertionResult CacheStress::Redraw(BlockHandle handle) {
  lastAction_ = Action::kRedraw;
  lastBlock_ = handle;
  ClearCells();
  if (beforeDraw) beforeDraw();
  cache_.DrawBlock(handle);
  cache_.Flush();
  ++history_.redrawn;
  const LiveBlock& block = history_.live.at(handle);
  return ShowsOnly(block.cell, block.drawn) << " (DrawBlock)";
}

::testing::AssertionResult CacheStress::DrawEveryLiveBlock() {
  const std::set<BlockHandle> handles = history_.LiveHandles();
  for (BlockHandle handle : handles)
    if (auto shown = Redraw(handle); !shown) return shown;
  // Then all of them before one Flush: the draws a cache holds back all show.
  ClearCells();
  std::set<int> cells;
  for (BlockHandle handle : handles) {
    if (beforeDraw) beforeDraw();
    cache_.DrawBlock(handle);
    ++history_.redrawn;
    if (history_.live.at(handle).drawn) cells.insert(history_.live.at(handle).cell);
  }
  cache_.Flush();
  return ShowsCells(cells) << " after drawing every live block at once";
}
