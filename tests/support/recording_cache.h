#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cache/geometry_cache.h"

// A GeometryCache without GL for the tests and the micro benchmarks. It keeps account of the
// live blocks and the calls, checks the calling order and the block storage (nothing written
// beyond a block's room or beyond the counts EndBlock is given, no index beyond the block's
// vertices) and records every breach in faults. With keepGeometry it also keeps a copy of every
// closed block, in order.
class RecordingCache final : public GeometryCache {
 public:
  struct Block {
    std::vector<CacheVertex> vertices;  // the vertexCount vertices written (kept geometry only)
    std::vector<uint16_t> indices;      // the indexCount indices written (kept geometry only)
    int vertexCount = 0;
    int indexCount = 0;
  };

  explicit RecordingCache(bool keepGeometry = false) : keepGeometry_(keepGeometry) {}

  Status Init(int blockVertices, int maxIndices) override;
  void Shutdown() override;
  Status BeginBlock(CacheVertex** vertices, uint16_t** indices) override;
  BlockHandle EndBlock(int vertexCount, int indexCount) override;
  void DrawBlock(BlockHandle handle) override;
  void ReleaseBlock(BlockHandle handle) override;
  void Flush() override;
  CacheTraffic Traffic() const override { return {}; }
  long StorageInUse() const override { return static_cast<long>(live.size()); }

  int blockVertices = 0;
  int maxIndices = 0;
  int initCalls = 0;
  int shutdownCalls = 0;
  int64_t blocksBuilt = 0;
  int64_t blocksRedrawn = 0;
  int64_t blocksReleased = 0;
  int64_t flushes = 0;
  int64_t unflushedDraws = 0;  // draws (built or redrawn) since the latest Flush
  std::map<BlockHandle, Block> live;  // built and not yet released
  std::vector<Block> closed;          // every block closed, with keepGeometry; clear it at will
  std::vector<std::string> faults;
  // Called after each block is drawn: built (true) or redrawn (false).
  std::function<void(BlockHandle handle, bool built)> onDraw;
  // When set, BeginBlock fails with it (and leaves the cache as it was).
  std::optional<Failure> failBeginBlock;

 private:
  void Fault(const std::string& what) { faults.push_back(what); }

  bool keepGeometry_;
  bool initialised_ = false;
  bool filling_ = false;
  BlockHandle nextHandle_ = 1;
  std::vector<CacheVertex> vertices_;
  std::vector<uint16_t> indices_;
};

// The faults as one line each, for failure messages.
std::string Describe(const std::vector<std::string>& faults);
