#include "roam/bucket_queue.h"

#include <cmath>
#include <limits>

namespace {

constexpr int kRingMask = BucketQueue::kRingBuckets - 1;
constexpr double kSlotsPerUnit = BucketQueue::kBucketsPerUnit;

// The key's position on the bucket grid; exact, since the factor is a power of two.
double KeySlot(float key) { return std::floor(static_cast<double>(key) * kSlotsPerUnit); }

}  // namespace

BucketQueue::BucketQueue(const char* name) : name_(name), heads_(kRingBuckets + 1, -1) {}

void BucketQueue::SetBase(int64_t slot) {
  baseSlot_ = slot;
  base_ = static_cast<float>(static_cast<double>(slot) / kSlotsPerUnit);
}

void BucketQueue::Initialise(float base) {
  Clear();
  current_ = 0;
  SetBase(std::isfinite(base) ? static_cast<int64_t>(KeySlot(base)) : 0);
}

void BucketQueue::Clear() {
  heads_.assign(kRingBuckets + 1, -1);
  entries_.clear();
  freeHead_ = -1;
  size_ = 0;
}

int BucketQueue::FreeEntrySlots() const {
  int slots = 0;
  for (int32_t e = freeHead_; e != -1; e = entries_[e].next) ++slots;
  return slots;
}

int BucketQueue::BucketOf(float key) const {
  // Equal to floor((key - base) x 8192) without the rounding of the subtraction, so an
  // entry's bucket stays the same however far the base has moved since it was filed.
  const double offset = KeySlot(key) - static_cast<double>(baseSlot_);
  if (!(offset > 0.0)) return current_;
  if (offset >= kRingBuckets) return kOverflowBucket;
  return (current_ + static_cast<int>(offset)) & kRingMask;
}

void BucketQueue::Insert(RoamNode* t, float key) {
  t->key = key;
  int32_t entry = freeHead_;
  if (entry != -1) {
    freeHead_ = entries_[entry].next;
  } else {
    entry = static_cast<int32_t>(entries_.size());
    entries_.push_back({});
  }
  const int bucket = BucketOf(key);
  entries_[entry] = {t, heads_[bucket]};
  heads_[bucket] = entry;
  ++size_;
}

RoamNode* BucketQueue::Unlink(int bucket, int32_t previous, int32_t entry) {
  Entry& e = entries_[entry];
  if (previous == -1)
    heads_[bucket] = e.next;
  else
    entries_[previous].next = e.next;
  RoamNode* t = e.triangle;
  e.next = freeHead_;
  freeHead_ = entry;
  --size_;
  return t;
}

bool BucketQueue::RemoveFrom(int bucket, const RoamNode* t) {
  int32_t previous = -1;
  for (int32_t e = heads_[bucket]; e != -1; previous = e, e = entries_[e].next) {
    if (entries_[e].triangle == t) {
      Unlink(bucket, previous, e);
      return true;
    }
  }
  return false;
}

bool BucketQueue::Remove(RoamNode* t) {
  const int bucket = BucketOf(t->key);
  if (RemoveFrom(bucket, t)) return true;
  // Filed while its key lay two or more above an older base.
  return bucket != kOverflowBucket && RemoveFrom(kOverflowBucket, t);
}

Failure BucketQueue::Missing(const RoamNode* /*t*/) const {
  return {Format("Internal inconsistency: a triangle is missing from the %s queue\n", name_), Channel::kErrorAndLog, 3,
          true};
}

int BucketQueue::RefileOverflow() {
  int moved = 0;
  int32_t previous = -1;
  int32_t e = heads_[kOverflowBucket];
  while (e != -1) {
    const int32_t next = entries_[e].next;
    const int bucket = BucketOf(entries_[e].triangle->key);
    if (bucket != kOverflowBucket) {
      if (previous == -1)
        heads_[kOverflowBucket] = next;
      else
        entries_[previous].next = next;
      entries_[e].next = heads_[bucket];
      heads_[bucket] = e;
      ++moved;
    } else {
      previous = e;
    }
    e = next;
  }
  return moved;
}

bool BucketQueue::SkipEmptyLaps(float threshold) {
  // No lap can hold anything below the threshold or the nearest overflow key.
  double nearest = KeySlot(threshold);
  for (int32_t e = heads_[kOverflowBucket]; e != -1; e = entries_[e].next)
    nearest = std::fmin(nearest, KeySlot(entries_[e].triangle->key));
  constexpr double kFarthestReachable = 4503599627370496.0;  // 2^52
  if (!(nearest < kFarthestReachable)) return false;
  const int64_t laps = (static_cast<int64_t>(nearest) - baseSlot_) / kRingBuckets;
  SetBase(baseSlot_ + laps * kRingBuckets);
  RefileOverflow();
  return true;
}

void BucketQueue::Advance() {
  SetBase(baseSlot_ + 1);
  if (++current_ == kRingBuckets) current_ = 0;
}

RoamNode* BucketQueue::PopBelow(float threshold) {
  // The base walks forward to the threshold's bucket even through an empty queue, so that the
  // keys filed later land in the ring where they belong.
  int emptyBuckets = 0;
  for (int target = BucketOf(threshold); current_ != target; target = BucketOf(threshold)) {
    const int32_t head = heads_[current_];
    // Every key in a bucket before the threshold's lies below the threshold; so does every key
    // of the ring while the threshold is beyond it.
    if (head != -1) return Unlink(current_, -1, head);
    Advance();
    ++emptyBuckets;
    if (current_ != 0) continue;
    const int moved = RefileOverflow();
    // Only a threshold beyond the ring can keep the walk lapping an empty ring; skip those laps.
    if (moved == 0 && emptyBuckets >= kRingBuckets && !SkipEmptyLaps(threshold)) return nullptr;
  }
  int32_t previous = -1;
  for (int32_t e = heads_[current_]; e != -1; previous = e, e = entries_[e].next)
    if (entries_[e].triangle->key < threshold) return Unlink(current_, previous, e);
  return nullptr;
}

void BucketQueue::Rebase(float amount) {
  SetBase(static_cast<int64_t>(std::floor(static_cast<double>(baseSlot_) - static_cast<double>(amount) * kSlotsPerUnit)));
  ForEachEntry([amount](int, RoamNode* t) { t->key = t->key - amount; });
  spareHeads_.assign(kRingBuckets + 1, -1);
  heads_.swap(spareHeads_);  // heads_ is the fresh array; spareHeads_ the old chains
  for (int bucket = 0; bucket <= kOverflowBucket; ++bucket) {
    int32_t e = spareHeads_[bucket];
    while (e != -1) {
      const int32_t next = entries_[e].next;
      const int target = BucketOf(entries_[e].triangle->key);
      entries_[e].next = heads_[target];
      heads_[target] = e;
      e = next;
    }
  }
}
