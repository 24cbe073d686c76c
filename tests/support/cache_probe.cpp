#include "support/cache_probe.h"

namespace {

// Follows link fields from head; stops at -1 or after limit steps (a cycle).
std::vector<int> WalkLinks(const std::vector<BlockRecord>& table, int head) {
  std::vector<int> blocks;
  for (int block = head; block != -1 && blocks.size() <= table.size(); block = table[block].link) {
    if (block < 0 || block >= static_cast<int>(table.size())) {
      blocks.push_back(block);  // reported as out of range by the caller
      break;
    }
    blocks.push_back(block);
  }
  return blocks;
}

template <typename Record>
std::vector<const Record*> WalkRecords(const Record* head, size_t limit) {
  std::vector<const Record*> records;
  for (const Record* record = head; record != nullptr && records.size() <= limit; record = record->next)
    records.push_back(record);
  return records;
}

constexpr size_t kRecordWalkLimit = 1 << 20;

}  // namespace

std::vector<int> VideoMemoryCacheProbe::FreeList(const VideoMemoryCache& cache) {
  return WalkLinks(cache.blockTable, cache.freeHead);
}

std::vector<int> VideoMemoryCacheProbe::PendingList(const VideoMemoryCache& cache, int position) {
  return WalkLinks(cache.blockTable, cache.intervalQueue[position].pendingHead);
}

::testing::AssertionResult VideoMemoryCacheProbe::CheckMembership(const VideoMemoryCache& cache,
                                                                  const std::set<int>& live) {
  const int blockCount = BlockCount(cache);
  if (blockCount > cache.blockCapacity) return ::testing::AssertionFailure() << "more blocks than slots";
  if (cache.intervalQueue.empty()) return ::testing::AssertionFailure() << "no open interval";
  const FenceInterval& open = cache.intervalQueue.back();
  if (open.fence != 0) return ::testing::AssertionFailure() << "the back interval has a fence";

  std::vector<int> seen(blockCount, 0);
  auto count = [&](const std::vector<int>& blocks, const char* where) -> ::testing::AssertionResult {
    for (int block : blocks) {
      if (block < 0 || block >= blockCount)
        return ::testing::AssertionFailure() << "block " << block << " out of range on " << where;
      ++seen[block];
    }
    return ::testing::AssertionSuccess();
  };
  for (int block : live) {
    if (block < 0 || block >= blockCount) return ::testing::AssertionFailure() << "live block " << block << " not created";
    ++seen[block];
    const int stamp = cache.blockTable[block].link;
    const int openNumber = cache.retiredIntervals + static_cast<int>(cache.intervalQueue.size()) - 1;
    if (stamp > openNumber) return ::testing::AssertionFailure() << "block " << block << " stamped in the future";
  }
  if (auto result = count(FreeList(cache), "the free list"); !result) return result;
  for (size_t position = 0; position < cache.intervalQueue.size(); ++position) {
    const FenceInterval& interval = cache.intervalQueue[position];
    const std::vector<int> pending = PendingList(cache, static_cast<int>(position));
    if (auto result = count(pending, "a pending list"); !result) return result;
    const int tail = pending.empty() ? -1 : pending.back();
    if (interval.pendingTail != tail)
      return ::testing::AssertionFailure() << "interval " << position << " has tail " << interval.pendingTail
                                           << " but its list ends at " << tail;
  }
  for (int block = 0; block < blockCount; ++block) {
    if (seen[block] != 1)
      return ::testing::AssertionFailure() << "block " << block << " is on " << seen[block] << " lists";
  }
  return ::testing::AssertionSuccess();
}

std::vector<const StoredBlock*> SystemMemoryCacheProbe::LiveRecords(const SystemMemoryCache& cache) {
  return WalkRecords<StoredBlock>(cache.liveBlocks, kRecordWalkLimit);
}

std::vector<const StoredBlock*> SystemMemoryCacheProbe::SpareRecords(const SystemMemoryCache& cache) {
  return WalkRecords<StoredBlock>(cache.spareRecords, kRecordWalkLimit);
}

::testing::AssertionResult SystemMemoryCacheProbe::CheckLists(const SystemMemoryCache& cache,
                                                              const std::set<BlockHandle>& live,
                                                              size_t recordsCreated) {
  const std::vector<const StoredBlock*> liveRecords = LiveRecords(cache);
  const std::vector<const StoredBlock*> spareRecords = SpareRecords(cache);
  if (liveRecords.size() != live.size())
    return ::testing::AssertionFailure() << liveRecords.size() << " live records for " << live.size() << " live handles";
  const StoredBlock* previous = nullptr;
  std::set<const StoredBlock*> all;
  for (const StoredBlock* record : liveRecords) {
    if (live.count(reinterpret_cast<BlockHandle>(record)) == 0)
      return ::testing::AssertionFailure() << "a live record has no live handle";
    if (record->prev != previous) return ::testing::AssertionFailure() << "broken prev link";
    if (record->vertices == nullptr || record->indices == nullptr)
      return ::testing::AssertionFailure() << "a live record without buffers";
    all.insert(record);
    previous = record;
  }
  for (const StoredBlock* record : spareRecords) {
    if (record->vertices != nullptr || record->indices != nullptr || record->prev != nullptr)
      return ::testing::AssertionFailure() << "a spare record still holds buffers or links";
    if (!all.insert(record).second) return ::testing::AssertionFailure() << "a record on both lists";
  }
  if (all.size() != recordsCreated)
    return ::testing::AssertionFailure() << all.size() << " records listed, " << recordsCreated << " created";
  return ::testing::AssertionSuccess();
}
