// Indices of the long lines of the active submatrix: offsets by item and the tournament of a
// column's magnitudes.
#include "library/sparse_lu/lu_long_lines.h"

#include <algorithm>

namespace zun::lu {

int Tournament::better(int p, int q) const {
  if (p < 0) return q;
  if (q < 0) return p;
  return key_[static_cast<std::size_t>(q)] > key_[static_cast<std::size_t>(p)] ? q : p;
}

// Replays the matches above the leaf of offset.  A match whose winner stays the same entry,
// other than offset, leaves every match above it as it was.
void Tournament::fix(int offset) {
  std::size_t node = static_cast<std::size_t>(cap_ + offset) / 2;
  for (; node >= 1; node /= 2) {
    const int before = node_[node];
    node_[node] = better(node_[2 * node], node_[2 * node + 1]);
    if (node_[node] == before && before != offset) return;
  }
}

void Tournament::build(const double* values, int len) {
  stale_ = false;
  cap_ = 1;
  while (cap_ < len + 1) cap_ *= 2;
  key_.assign(static_cast<std::size_t>(cap_), 0.0);
  node_.assign(2 * static_cast<std::size_t>(cap_), -1);
  for (int k = 0; k < len; ++k) {
    key_[static_cast<std::size_t>(k)] = magnitude_key(values[k]);
    node_[static_cast<std::size_t>(cap_ + k)] = k;
  }
  for (std::size_t node = static_cast<std::size_t>(cap_) - 1; node >= 1; --node) {
    node_[node] = better(node_[2 * node], node_[2 * node + 1]);
  }
}

// Doubles the capacity until offset fits, keeping the present keys.
void Tournament::grow(int offset) {
  int cap = std::max(cap_, 1);
  while (cap <= offset) cap *= 2;
  std::vector<double> key(static_cast<std::size_t>(cap), 0.0);
  std::vector<int> node(2 * static_cast<std::size_t>(cap), -1);
  for (int k = 0; k < cap_; ++k) {
    key[static_cast<std::size_t>(k)] = key_[static_cast<std::size_t>(k)];
    node[static_cast<std::size_t>(cap + k)] = node_[static_cast<std::size_t>(cap_ + k)];
  }
  key_.swap(key);
  node_.swap(node);
  cap_ = cap;
  for (std::size_t n = static_cast<std::size_t>(cap_) - 1; n >= 1; --n) {
    node_[n] = better(node_[2 * n], node_[2 * n + 1]);
  }
}

void Tournament::set(int offset, double key) {
  if (stale_) return;
  if (offset >= cap_) grow(offset);
  key_[static_cast<std::size_t>(offset)] = key;
  node_[static_cast<std::size_t>(cap_ + offset)] = offset;
  fix(offset);
}

void Tournament::clear(int offset) {
  if (stale_ || offset >= cap_) return;
  node_[static_cast<std::size_t>(cap_ + offset)] = -1;
  fix(offset);
}

void LongLines::init(int lines, int items, int max_slots) {
  items_ = items;
  max_slots_ = max_slots;
  slot_of_.assign(static_cast<std::size_t>(lines) + 1, -1);
  scanned_.assign(static_cast<std::size_t>(lines) + 1, 0);
  slots_.clear();
  free_.clear();
  in_use_ = 0;
}

LineIndex* LongLines::open(int line) {
  int slot = -1;
  if (!free_.empty()) {
    slot = free_.back();
    free_.pop_back();
  } else if (static_cast<int>(slots_.size()) < max_slots_) {
    slot = static_cast<int>(slots_.size());
    slots_.push_back(std::make_unique<LineIndex>());
    slots_.back()->offset.assign(static_cast<std::size_t>(items_) + 1, -1);
  } else {
    return nullptr;
  }
  slot_of_[static_cast<std::size_t>(line)] = slot;
  ++in_use_;
  return slots_[static_cast<std::size_t>(slot)].get();
}

void LongLines::release(int line, const int* items, int len) {
  const int slot = slot_of_[static_cast<std::size_t>(line)];
  LineIndex& x = *slots_[static_cast<std::size_t>(slot)];
  for (int k = 0; k < len; ++k) x.offset[static_cast<std::size_t>(items[k])] = -1;
  slot_of_[static_cast<std::size_t>(line)] = -1;
  free_.push_back(slot);
  --in_use_;
}

}  // namespace zun::lu
