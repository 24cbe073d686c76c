#pragma once
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "cache/geometry_cache.h"
#include "cache_test_fixture.h"

// Random calls on a cache in its calling order, every draw flushed and checked on the screen. Each block
// covers one cell of a tiny picture of kCellColumns x kCellRows pixels, textured with one texel per
// cell: its corners are the block's first and last vertices and two between them, and the two
// triangles of the cell are its last six indices (degenerate ones come before them). So a draw
// that shows another cell, or nothing, or another colour means the block's vertices or indices
// were lost, moved or overwritten, its handle names another block, or the texture coordinates
// were not read from each vertex's x and y.

constexpr int kCellColumns = 32;
constexpr int kCellRows = 4;

// A block the caller holds: the cell it covers, and whether its index count draws it at all.
struct LiveBlock {
  int cell;
  bool drawn;
};

// What the calls have done to the cache: the blocks live and the most live at once since the
// latest Init, and the calls since the start.
struct CacheHistory {
  std::map<BlockHandle, LiveBlock> live;
  size_t peakLive = 0;
  int64_t built = 0;     // EndBlock calls
  int64_t redrawn = 0;   // DrawBlock calls
  int64_t released = 0;  // ReleaseBlock calls

  std::set<BlockHandle> LiveHandles() const;
};

class CacheStress {
 public:
  enum class Action { kBuild, kRefused, kRedraw, kRelease, kIdle };

  // idle moves the cache's world along when no call is made (fences complete, say); may be empty.
  CacheStress(GeometryCache& cache, ScriptedAllocator& allocator, uint32_t seed,
              std::function<void(std::mt19937&)> idle = {});
  ~CacheStress();
  CacheStress(const CacheStress&) = delete;
  CacheStress& operator=(const CacheStress&) = delete;

  // Init (every allocation granted), with the picture's GL state (restored by the fixture): one
  // pixel per cell over the unit square, the texture replacing the colour, nothing else deciding
  // what is lit. Blocks need at least 4 vertices and 6 indices.
  Status Start(int blockVertices, int maxIndices);
  // One random call, or none (idle); allocations are refused now and then. Fails when a draw
  // shows the wrong picture, EndBlock hands out a live handle, or a BeginBlock that an allocator
  // refusal failed does not return the out-of-memory failure with the cache's storage as it was.
  ::testing::AssertionResult Step();
  // The calls Step makes: a new block of a random shape (or a refused BeginBlock), a redraw, a
  // release.
  ::testing::AssertionResult Build();
  ::testing::AssertionResult Redraw(BlockHandle handle);
  void Release(BlockHandle handle);
  // Every live block drawn alone, each showing its own cell; then all of them before one Flush,
  // showing all their cells.
  ::testing::AssertionResult DrawEveryLiveBlock();
  void Stop();

  const CacheHistory& history() const { return history_; }
  Action lastAction() const { return lastAction_; }
  BlockHandle lastBlock() const { return lastBlock_; }
  std::mt19937& random() { return random_; }
  // Called right before every draw (EndBlock or DrawBlock). Each draw is flushed at once, but for
  // DrawEveryLiveBlock's last round.
  std::function<void()> beforeDraw;
  // Whether Build has the allocator refuse now and then (else the test's script stands).
  bool refuseAtRandom = true;

 private:
  BlockHandle PickLive();

  GeometryCache& cache_;
  ScriptedAllocator& allocator_;
  std::mt19937 random_;
  std::function<void(std::mt19937&)> idle_;
  int blockVertices_ = 0;
  int maxIndices_ = 0;
  int nextCell_ = 0;
  CacheHistory history_;
  Action lastAction_ = Action::kIdle;
  BlockHandle lastBlock_ = kNoBlock;
  GLuint texture_ = 0;
};
