// Disjoint sets over 0 .. n - 1 (union-find with path halving). The smaller index always becomes
// the root, so every parent index is below its child's: the root of a set is its first element,
// and one forward pass (Flatten) points every element straight at its root.
#pragma once

#include <cstdint>
#include <vector>

namespace voxa::detail {

class UnionFind {
 public:
  void Clear() { parent_.clear(); }
  void Reserve(size_t n) { parent_.reserve(n); }
  // Adds a singleton set and returns its element.
  uint32_t Add() {
    const uint32_t element = static_cast<uint32_t>(parent_.size());
    parent_.push_back(element);
    return element;
  }
  uint64_t Size() const { return parent_.size(); }

  uint32_t Find(uint32_t i) {
    while (parent_[i] != i) {
      parent_[i] = parent_[parent_[i]];
      i = parent_[i];
    }
    return i;
  }

  void Join(uint32_t a, uint32_t b) {
    a = Find(a);
    b = Find(b);
    if (a < b)
      parent_[b] = a;
    else if (b < a)
      parent_[a] = b;
  }

  // Joins the set of `element` to the set whose root is `root`; returns the joined set's root.
  // Cheaper than Join when one element meets several others in a row.
  uint32_t JoinToRoot(uint32_t root, uint32_t element) {
    const uint32_t other = Find(element);
    if (other < root) {
      parent_[root] = other;
      return other;
    }
    if (root < other) parent_[other] = root;
    return root;
  }

  // Afterwards Root(i) is the root of i's set, until the next Join. O(n).
  void Flatten() {
    for (uint32_t i = 0; i < parent_.size(); ++i) parent_[i] = parent_[parent_[i]];
  }
  uint32_t Root(uint32_t i) const { return parent_[i]; }

 private:
  std::vector<uint32_t> parent_;
};

}  // namespace voxa::detail
