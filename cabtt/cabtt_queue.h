#pragma once
#include <cstddef>
#include <map>

#include "cabtt/aggregate_triangle.h"

// Nodes ordered by their key, ascending; a node inserted with a key already present goes
// after the entries of that key.
class CabttQueue {
 public:
  using Entries = std::multimap<float, AggregateTriangle*>;

  explicit CabttQueue(const char* name) : name_(name) {}
  CabttQueue(const CabttQueue&) = delete;
  CabttQueue& operator=(const CabttQueue&) = delete;

  const char* Name() const { return name_; }
  bool Empty() const { return entries_.empty(); }
  std::size_t Size() const { return entries_.size(); }
  const Entries& AllEntries() const { return entries_; }

  // Files the node under node->key, which the caller has set.
  void Insert(AggregateTriangle* node) { entries_.emplace(node->key, node); }

  float FirstKey() const { return entries_.begin()->first; }
  AggregateTriangle* PopFirst();

  // Removes the entry of this node, searching the run of entries with the node's key.
  // False when the node is not filed under that key.
  bool Remove(AggregateTriangle* node);

  // Moves every key, in the queue and in the nodes, down by amount without reordering.
  void Rebase(float amount);

  void Clear() { entries_.clear(); }

 private:
  const char* name_;
  Entries entries_;
};
