// Internal types of the sparse LU: 1-based views of the caller's arrays, the factor storage
// they make up, the count lists of the pivot search and the routines shared between the
// factorisation, the solves and the column replacement.
#pragma once

#include <climits>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "library/sparse_lu/lu_words.h"

namespace zun::lu {

// 1-based view of a caller's array: element k of the view is array element k-1.
template <class T>
class Array1 {
 public:
  Array1() = default;
  explicit Array1(T* p) : p_(p) {}
  T& operator[](std::int64_t k) const { return p_[k - 1]; }

 private:
  T* p_ = nullptr;
};

// LuFactors and LuParameters as one bundle (see sparse_lu.h for the meaning of each array).
struct Factors {
  int m = 0;
  int n = 0;
  int lena = 0;
  Array1<int> luparm;
  Array1<double> parmlu;
  Array1<double> a;
  Array1<int> indc;
  Array1<int> indr;
  Array1<int> ip;
  Array1<int> iq;
  Array1<int> lenc;
  Array1<int> lenr;
  Array1<int> locc;
  Array1<int> locr;

  int iword(int k) const { return luparm[k]; }
  double rword(int k) const { return parmlu[k]; }
};

// A 64-bit count stored in a 32-bit word: values beyond the word's range are capped.
inline int clamp_to_int(std::int64_t v) {
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

// One count list: perm(1..npos) ordered by count, loc(k) (k = 1..maxcount) the first place of
// the items with count k, inv the inverse of perm.  Items with count 0 come first.  Places past
// maxcount read as npos + 1, so no read passes the end of loc.
struct CountList {
  Array1<int> perm;
  Array1<int> loc;
  Array1<int> inv;
  int npos = 0;
  int maxcount = 0;

  int start(int count) const {
    if (count > maxcount) return npos + 1;
    return count < 1 ? 1 : loc[count];
  }
};

// Moves item from the bucket of count `from` to that of count `to` in O(1) per bucket passed:
// each step swaps the item with the first (or last) item of its bucket and moves the bucket
// boundary over it.
void lu_update_count_lists(const CountList& list, int item, int from, int to);

// Offset of the first x[k] == value in x[0..n-1], n when there is none.  Compares eight
// indices at a time where SSE2 is available: index lists are searched often and are long in
// dense rows and columns.
inline int find_index(const int* x, int n, int value) {
  int k = 0;
#if defined(__SSE2__)
  const __m128i key = _mm_set1_epi32(value);
  for (; k + 8 <= n; k += 8) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + k));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + k + 4));
    const __m128i hit = _mm_or_si128(_mm_cmpeq_epi32(lo, key), _mm_cmpeq_epi32(hi, key));
    if (_mm_movemask_epi8(hit) != 0) break;
  }
#endif
  while (k < n && x[k] != value) ++k;
  return k;
}

// Place of the first x[l] == value for l = first..first+len-1, first + len when there is none.
inline int find_place(Array1<int> x, int first, int len, int value) {
  if (len <= 0) return first;
  return first + find_index(&x[first], len, value);
}

// The largest double.
constexpr double largest_real() { return 1.7976931348623157e308; }

// Compression (PRUNEL) of a file of `lists` lists: lengths len, starts loc, indices ind and,
// when move_reals, values a.  Lists with length <= 0 are dropped from the file; empty places
// carry index 0.  end (in/out) is the file end.  Counts the compression in the integer words
// and prints its line at print level above 0.
void PRUNEL(int lists,
            bool move_reals,
            Array1<int> luparm,
            int& end,
            Array1<double> a,
            Array1<int> ind,
            Array1<int> len,
            Array1<int> loc);

// Applies L^-1 (forward) or L^-T (transposed) to v in place.
void solve_l(const Factors& f, Array1<double> v);
void solve_lt(const Factors& f, Array1<double> v);

}  // namespace zun::lu
