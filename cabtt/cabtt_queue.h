#pragma once
#include <cstddef>
#include <map>

#include "app/platform/failure.h"
#include "cabtt/cabtt_node.h"

// CABTT's queue: nodes ordered by their key, ascending; a node inserted with a key already
// present goes after the entries of that key. The key of a filed node is kept in the node too.
class CabttQueue {
 public:
  using Entries = std::multimap<float, CabttNode*>;

  // name says which queue an inconsistency report is about ("split" or "merge").
  explicit CabttQueue(const char* name) : name_(name) {}
  CabttQueue(const CabttQueue&) = delete;
  CabttQueue& operator=(const CabttQueue&) = delete;

  // The ordered queue has no base to set.
  void Initialise(float /*base*/) {}
  void Clear() { entries_.clear(); }

  // Stores key in the node and files it under it.
  void Insert(CabttNode* node, float key) {
    node->key = key;
    entries_.emplace(key, node);
  }
  // Removes the entry of this node, searching the run of entries with the node's key. False
  // when the node is not filed under that key.
  bool Remove(CabttNode* node);
  // Takes out the first entry when its key is below the threshold, or returns null.
  CabttNode* PopBelow(float threshold);
  // Moves every key, in the queue and in the nodes, down by amount without reordering.
  void Rebase(float amount);
  // What a removal that finds no entry ends the program with: an internal inconsistency.
  Failure Missing(const CabttNode* node) const;

  const char* Name() const { return name_; }
  bool Empty() const { return entries_.empty(); }
  std::size_t Size() const { return entries_.size(); }
  const Entries& AllEntries() const { return entries_; }

 private:
  const char* name_;
  Entries entries_;
};
