#include "cabtt/cabtt_queue.h"

#include <utility>

AggregateTriangle* CabttQueue::PopFirst() {
  AggregateTriangle* node = entries_.begin()->second;
  entries_.erase(entries_.begin());
  return node;
}

bool CabttQueue::Remove(AggregateTriangle* node) {
  auto [entry, end] = entries_.equal_range(node->key);
  for (; entry != end; ++entry) {
    if (entry->second == node) {
      entries_.erase(entry);
      return true;
    }
  }
  return false;
}

void CabttQueue::Rebase(float amount) {
  // Map keys are immutable in place; moving the nodes over in order keeps the order of equal
  // keys and allocates nothing.
  Entries rebased;
  while (!entries_.empty()) {
    auto handle = entries_.extract(entries_.begin());
    handle.key() -= amount;
    handle.mapped()->key = handle.key();
    rebased.insert(rebased.end(), std::move(handle));
  }
  entries_.swap(rebased);
}
