#include "cache/fenced_slots.h"

void FencedSlots::Start(int capacity, int drawsPerFence) {
  capacity_ = capacity;
  drawsPerFence_ = drawsPerFence;
  drawsUntilFence_ = drawsPerFence;
  retiredIntervals_ = 0;
  freeHead_ = -1;
  links_.clear();
  intervals_.assign(1, {0, -1, -1});
}

void FencedSlots::Stop() {
  // The open interval at the back has no fence.
  for (std::size_t i = 0; i + 1 < intervals_.size(); ++i) fences_.DeleteFence(intervals_[i].fence);
  intervals_.clear();
  links_.clear();
  freeHead_ = -1;
}

void FencedSlots::CloseInterval() {
  intervals_.back().fence = fences_.SetFence();
  // The interval just closed is the back entry, so this loop never retires it.
  while (intervals_.size() >= 2 && FrontPassed()) RetireFront();
  intervals_.push_back({0, -1, -1});
  drawsUntilFence_ = drawsPerFence_;
}

// Moves the front interval's pending slots, in their own order, in front of the free list.
void FencedSlots::RetireFront() {
  FenceInterval& front = intervals_.front();
  fences_.DeleteFence(front.fence);
  if (front.pendingTail != -1) {
    links_[front.pendingTail] = freeHead_;
    freeHead_ = front.pendingHead;
  }
  intervals_.pop_front();
  ++retiredIntervals_;
}

int FencedSlots::TakeFreeHead() {
  const int slot = freeHead_;
  freeHead_ = links_[slot];
  return slot;
}

int FencedSlots::TakeFree() {
  if (freeHead_ == -1) {
    while (intervals_.size() >= 2 && FrontPassed()) {
      RetireFront();
      if (freeHead_ != -1) break;
    }
  }
  return freeHead_ != -1 ? TakeFreeHead() : -1;
}

int FencedSlots::MakeSlot() {
  links_.push_back(0);
  return SlotsMade() - 1;
}

int FencedSlots::WaitForFree() {
  while (intervals_.size() >= 2) {
    fences_.WaitForFence(intervals_.front().fence);
    RetireFront();
    if (freeHead_ != -1) return TakeFreeHead();
  }
  CloseInterval();
  fences_.WaitForFence(intervals_.front().fence);
  RetireFront();
  return freeHead_ != -1 ? TakeFreeHead() : -1;
}

void FencedSlots::Drawn(int slot) {
  links_[slot] = retiredIntervals_ + static_cast<int>(intervals_.size()) - 1;
  if (--drawsUntilFence_ == 0) CloseInterval();
}

void FencedSlots::Release(int slot) {
  const int position = links_[slot] - retiredIntervals_;
  if (position < 0) {
    // The interval of its latest draw is already retired: the slot is free now.
    links_[slot] = freeHead_;
    freeHead_ = slot;
    return;
  }
  FenceInterval& interval = intervals_[position];
  links_[slot] = interval.pendingHead;
  if (interval.pendingHead == -1) interval.pendingTail = slot;
  interval.pendingHead = slot;
}
