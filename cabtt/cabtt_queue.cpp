#include "cabtt/cabtt_queue.h"

#include <utility>

CabttNode* CabttQueue::PopBelow(float threshold) {
  if (entries_.empty() || !(entries_.begin()->first < threshold)) return nullptr;
  CabttNode* node = entries_.begin()->second;
  entries_.erase(entries_.begin());
  return node;
}

bool CabttQueue::Remove(CabttNode* node) {
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

Failure CabttQueue::Missing(const CabttNode* node) const {
  return {Format("CABTT %s queue has no entry for node %p (split vertex %d, key %.9g)\n", name_,
                 static_cast<const void*>(node), node->splitVertex, node->key),
          Channel::kErrorAndLog, 3, true};
}
