#include "support/cache_probe.h"

namespace {

// Follows links from head; stops at -1 or after limit steps (a cycle).
std::vector<int> WalkLinks(const std::vector<int>& links, int head) {
  std::vector<int> slots;
  for (int slot = head; slot != -1 && slots.size() <= links.size(); slot = links[slot]) {
    slots.push_back(slot);
    if (slot < 0 || slot >= static_cast<int>(links.size())) break;  // reported as out of range by the caller
  }
  return slots;
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

std::vector<int> FencedSlotsProbe::FreeList(const FencedSlots& slots) { return WalkLinks(slots.links_, slots.freeHead_); }

std::vector<int> FencedSlotsProbe::PendingList(const FencedSlots& slots, int position) {
  return WalkLinks(slots.links_, slots.intervals_[position].pendingHead);
}

::testing::AssertionResult FencedSlotsProbe::CheckMembership(const FencedSlots& slots, const std::set<int>& live) {
  const int slotCount = slots.SlotsMade();
  if (slotCount > slots.capacity()) return ::testing::AssertionFailure() << "more slots than the capacity";
  if (slots.intervals_.empty()) return ::testing::AssertionFailure() << "no open interval";
  if (slots.intervals_.back().fence != 0) return ::testing::AssertionFailure() << "the back interval has a fence";

  std::vector<int> seen(slotCount, 0);
  auto count = [&](const std::vector<int>& list, const char* where) -> ::testing::AssertionResult {
    for (int slot : list) {
      if (slot < 0 || slot >= slotCount)
        return ::testing::AssertionFailure() << "slot " << slot << " out of range on " << where;
      ++seen[slot];
    }
    return ::testing::AssertionSuccess();
  };
  const int openNumber = slots.retiredIntervals_ + static_cast<int>(slots.intervals_.size()) - 1;
  for (int slot : live) {
    if (slot < 0 || slot >= slotCount) return ::testing::AssertionFailure() << "live slot " << slot << " not made";
    ++seen[slot];
    if (slots.links_[slot] > openNumber) return ::testing::AssertionFailure() << "slot " << slot << " stamped in the future";
  }
  if (auto result = count(FreeList(slots), "the free list"); !result) return result;
  for (size_t position = 0; position < slots.intervals_.size(); ++position) {
    const FenceInterval& interval = slots.intervals_[position];
    const std::vector<int> pending = PendingList(slots, static_cast<int>(position));
    if (auto result = count(pending, "a pending list"); !result) return result;
    const int tail = pending.empty() ? -1 : pending.back();
    if (interval.pendingTail != tail)
      return ::testing::AssertionFailure() << "interval " << position << " has tail " << interval.pendingTail
                                           << " but its list ends at " << tail;
  }
  for (int slot = 0; slot < slotCount; ++slot) {
    if (seen[slot] != 1) return ::testing::AssertionFailure() << "slot " << slot << " is on " << seen[slot] << " lists";
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
