#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/platform/failure.h"
#include "roam/roam_node.h"

// Deferred-priority queue of bintree triangles keyed by travel distance. A ring of buckets,
// each 1/8192 of key wide, spans the keys from the base up to base + 2.0; later keys wait in
// an overflow bucket. The key of a filed triangle is kept in the triangle itself.
class BucketQueue {
 public:
  static constexpr int kRingBuckets = 16384;
  static constexpr int kOverflowBucket = kRingBuckets;
  static constexpr int kBucketsPerUnit = 8192;

  // name says which queue an inconsistency report is about.
  explicit BucketQueue(const char* name);

  // Empty, current bucket 0. The base is taken down to the bucket grid (a multiple of
  // 1/8192) so that a key's bucket never depends on rounding.
  void Initialise(float base);
  // Empties the queue; the storage is kept for the next activation.
  void Clear();

  // Stores key in t and files t under it.
  void Insert(RoamNode* t, float key);
  // Unfiles t (found through its key); t's key is left as it is. False when t is filed nowhere.
  bool Remove(RoamNode* t);
  // What a removal that finds no entry ends the program with: an internal inconsistency.
  Failure Missing(const RoamNode* t) const;
  // Takes out one triangle whose key is below threshold, or returns null. The base walks forward
  // to the threshold's bucket, also when nothing is filed.
  RoamNode* PopBelow(float threshold);
  // Moves the base and every filed key down by amount and re-files every entry.
  void Rebase(float amount);

  int BucketOf(float key) const;
  float Base() const { return base_; }
  int CurrentBucket() const { return current_; }
  int Size() const { return size_; }
  // Entry slots made since the last Clear, filed or free; and the storage kept for them.
  int EntrySlots() const { return static_cast<int>(entries_.size()); }
  std::size_t EntryCapacity() const { return entries_.capacity(); }
  // Slots on the free list (walks it).
  int FreeEntrySlots() const;

  // Calls visit(bucket, triangle) for every filed entry, buckets in index order.
  template <class Visit>
  void ForEachEntry(Visit visit) const {
    for (int bucket = 0; bucket <= kOverflowBucket; ++bucket)
      for (int32_t e = heads_[bucket]; e != -1; e = entries_[e].next) visit(bucket, entries_[e].triangle);
  }

 private:
  struct Entry {
    RoamNode* triangle;
    int32_t next;
  };

  void SetBase(int64_t slot);
  void Advance();
  // Moves overflow entries whose keys now fall within the ring; returns how many moved.
  int RefileOverflow();
  // After a lap over an empty ring: skips whole laps until the threshold or the nearest overflow
  // key is in reach. False when neither can ever come within reach.
  bool SkipEmptyLaps(float threshold);
  RoamNode* Unlink(int bucket, int32_t previous, int32_t entry);
  bool RemoveFrom(int bucket, const RoamNode* t);

  const char* name_;
  std::vector<int32_t> heads_;
  std::vector<int32_t> spareHeads_;  // reused by Rebase
  int current_ = 0;
  float base_ = 0.0f;
  int64_t baseSlot_ = 0;  // base in units of one bucket; base_ == baseSlot_ / 8192
  std::vector<Entry> entries_;
  int32_t freeHead_ = -1;
  int size_ = 0;
};
