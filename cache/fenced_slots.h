#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// A GL fence as an integer (an NV fence name, or a sync object's address); 0 is none.
using FenceId = uintptr_t;

// The sizes both fenced caches follow: an interval covers the draws of as many slots as hold
// kVerticesPerFence vertices, and the storage they ask for is the first doubling of one slot
// above kStorageTarget bytes.
constexpr int kVerticesPerFence = 0x20000;
constexpr long kStorageTarget = 50331648;

// The GL's fences as FencedSlots uses them.
class IntervalFences {
 public:
  virtual ~IntervalFences() = default;
  // A new fence behind every draw asked for so far (a cache that holds draws back issues them
  // first).
  virtual FenceId SetFence() = 0;
  // Whether the GPU has passed the fence, without waiting.
  virtual bool FencePassed(FenceId fence) = 0;
  virtual void WaitForFence(FenceId fence) = 0;
  virtual void DeleteFence(FenceId fence) = 0;
};

// A run of drawsPerFence slot draws closed by one fence.
struct FenceInterval {
  FenceId fence;    // set when the interval is closed; the open interval has none
  int pendingHead;  // slots released while stamped with this interval; -1 when empty
  int pendingTail;
};

// The slot numbers of storage the GPU reads after the draw calls return: a released slot is
// handed out again only once the fence of the interval of its latest draw has passed. Draws are
// counted into intervals of drawsPerFence, each closed by one fence.
//
// Invariants between Start and Stop: the interval queue is never empty and only its back interval
// is open (has no fence); every slot made is exactly once live, on the pending list of the
// interval of its latest draw, or on the free list; a slot reaches the free list only once the
// fence of its latest draw's interval has passed.
class FencedSlots {
 public:
  explicit FencedSlots(IntervalFences& fences) : fences_(fences) {}

  void Start(int capacity, int drawsPerFence);
  // Deletes the fences of the closed intervals and forgets every slot.
  void Stop();
  bool Started() const { return !intervals_.empty(); }

  // The cheapest slot for a new block first: a free one (retiring passed intervals when none is
  // free), -1 when there is none.
  int TakeFree();
  // Then a slot never used, while fewer than the capacity are made.
  bool CanMakeSlot() const { return SlotsMade() < capacity_; }
  int MakeSlot();
  // Then waiting on fences, oldest first, until a slot is free (closing the open interval when
  // only it is left); -1 when every slot is live.
  int WaitForFree();

  // A draw of the slot was asked for; may close the interval (setting a fence).
  void Drawn(int slot);
  void Release(int slot);

  int SlotsMade() const { return static_cast<int>(links_.size()); }
  int capacity() const { return capacity_; }
  int drawsPerFence() const { return drawsPerFence_; }

 private:
  friend struct FencedSlotsProbe;  // tests walk the lists

  void CloseInterval();
  void RetireFront();
  bool FrontPassed() { return fences_.FencePassed(intervals_.front().fence); }
  int TakeFreeHead();

  IntervalFences& fences_;
  int capacity_ = 0;
  int drawsPerFence_ = 0;
  int drawsUntilFence_ = 0;
  int retiredIntervals_ = 0;
  std::deque<FenceInterval> intervals_;
  // Per slot: live, the number of the interval of its latest draw; pending or free, the next slot
  // of its list, -1 at the end.
  std::vector<int> links_;
  int freeHead_ = -1;
};
