// Indices of the long lines (columns or rows) of the active submatrix during the elimination.
// A pivot step changes a line only where the pivot column's rows meet it; an index from item
// number (row of a column, column of a row) to the item's offset in the line finds those
// entries without sweeping the whole line, and a tournament over a column's magnitudes gives
// its first largest entry.  Offsets count from the line's start, so moving a line within its
// file or compressing the file leaves the index valid.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace zun::lu {

// Key of a value in the search for a column's largest entry: its magnitude, and -1 for a NaN,
// which is never taken as the largest.
inline double magnitude_key(double v) { return std::isnan(v) ? -1.0 : std::abs(v); }

// First offset of the largest key among the present offsets of one line (the lowest offset
// wins a tie); capacity grows as offsets beyond it are set.  A stale tournament ignores
// changes until it is rebuilt: sweeps of the whole line mark it so.
class Tournament {
 public:
  // Rebuilds the tree for the keys of values[0..len-1].
  void build(const double* values, int len);
  void set(int offset, double key);
  void clear(int offset);
  void invalidate() { stale_ = true; }
  bool stale() const { return stale_; }
  // The offset of the first largest key, 0 when no offset is present.
  int first_max() const { return node_.size() > 1 && node_[1] >= 0 ? node_[1] : 0; }

 private:
  int better(int p, int q) const;
  void fix(int offset);
  void grow(int offset);

  int cap_ = 0;
  bool stale_ = true;
  std::vector<double> key_;  // by offset
  std::vector<int> node_;    // heap order, 1..2 cap - 1: winning offset, -1 when none
};

// Deletes the entries at the offsets `dead` (ascending) of a line of len entries in the order
// of a sweep from the line's start, where each deletion moves the line's last entry into the
// hole and the sweep looks at that entry next: remove(offset) deletes the entry at offset.
template <class Remove>
void delete_as_swept(const std::vector<int>& dead, int len, Remove remove) {
  int hi = static_cast<int>(dead.size()) - 1;
  for (int lo = 0; lo <= hi; ++lo) {
    const int offset = dead[static_cast<std::size_t>(lo)];
    for (;;) {
      // The entry that moves into the hole is deleted in turn when it is dead[hi].
      const bool last_dead = hi > lo && dead[static_cast<std::size_t>(hi)] == len - 1;
      remove(offset);
      --len;
      if (!last_dead) break;
      --hi;
    }
  }
}

// The index of one line: offset(item) for the line's items, -1 for all others.
struct LineIndex {
  std::vector<int> offset;
  Tournament largest;  // kept for columns only
};

// Indices of the long lines of one file: at most max_slots lines at once, each slot an array
// over all items, reused after its line has been pivoted.
class LongLines {
 public:
  void init(int lines, int items, int max_slots);
  bool empty() const { return in_use_ == 0; }
  LineIndex* find(int line) const {
    if (in_use_ == 0) return nullptr;
    const int slot = slot_of_[static_cast<std::size_t>(line)];
    return slot < 0 ? nullptr : slots_[static_cast<std::size_t>(slot)].get();
  }
  // A cleared index for the line, or nullptr when every slot is taken.
  LineIndex* open(int line);
  // Gives the line's slot back; items(0..len-1) are the line's items, whose offsets are reset.
  void close(int line, const int* items, int len) {
    if (in_use_ > 0 && slot_of_[static_cast<std::size_t>(line)] >= 0) release(line, items, len);
  }
  // Places searched in the line without an index.
  std::int64_t& scanned(int line) { return scanned_[static_cast<std::size_t>(line)]; }

 private:
  int items_ = 0;
  int max_slots_ = 0;
  int in_use_ = 0;
  std::vector<int> slot_of_;
  std::vector<std::int64_t> scanned_;
  std::vector<std::unique_ptr<LineIndex>> slots_;
  std::vector<int> free_;

  void release(int line, const int* items, int len);
};

}  // namespace zun::lu
