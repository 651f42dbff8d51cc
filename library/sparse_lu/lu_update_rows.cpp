// Upkeep of the U row file and of the single-entry L factors during column replacements.
#include <cmath>

#include "library/sparse_lu/lu_update.h"

namespace zun::lu {

void compress_u_rows(Update& u) {
  PRUNEL(u.f.m, true, u.f.luparm, u.lrow, u.f.a, u.f.indr, u.f.lenr, u.f.locr);
}

bool ensure_row_room(Update& u, std::int64_t need) {
  if (u.room() >= need) return true;
  compress_u_rows(u);
  return u.room() >= need;
}

void move_row_to_end(Update& u, int i) {
  const Factors& f = u.f;
  const int len = f.lenr[i];
  const int l1 = f.locr[i];
  const int start = u.lrow + 1;
  for (int k = 0; k < len; ++k) {
    f.a[start + k] = f.a[l1 + k];
    f.indr[start + k] = f.indr[l1 + k];
    f.indr[l1 + k] = 0;
  }
  f.locr[i] = start;
  u.lrow += len;
}

bool append_to_row(Update& u, int i, double value, int j) {
  const Factors& f = u.f;
  const int len = f.lenr[i];
  int next = f.locr[i] + len;
  const bool hole_after = len > 0 && next <= u.lrow && f.indr[next] == 0;
  const bool at_end = len > 0 && next == u.lrow + 1;
  if (at_end) {
    if (!ensure_row_room(u, 1)) return false;
    next = f.locr[i] + f.lenr[i];
    if (next != u.lrow + 1) {  // the compression moved other rows after this one
      if (!ensure_row_room(u, len + 1)) return false;
      move_row_to_end(u, i);
      next = u.lrow + 1;
    }
  } else if (!hole_after) {
    if (!ensure_row_room(u, static_cast<std::int64_t>(len) + 1)) return false;
    move_row_to_end(u, i);
    next = u.lrow + 1;
  }
  f.a[next] = value;
  f.indr[next] = j;
  f.lenr[i] = len + 1;
  if (next > u.lrow) u.lrow = next;
  return true;
}

void remove_from_u_row(Update& u, int i, int l) {
  const Factors& f = u.f;
  const int last = f.locr[i] + f.lenr[i] - 1;
  f.a[l] = f.a[last];
  f.indr[l] = f.indr[last];
  f.indr[last] = 0;
  f.lenr[i] -= 1;
}

bool add_l_factor(Update& u, double mult, int target, int source) {
  if (!ensure_row_room(u, 1)) return false;
  const Factors& f = u.f;
  const int l = f.lena - u.len_l;
  f.a[l] = mult;
  f.indc[l] = target;
  f.indr[l] = source;
  u.len_l += 1;
  return true;
}

void pull_back_rows(Update& u) {
  while (u.lrow > 0 && u.f.indr[u.lrow] == 0) --u.lrow;
}

void cyclic_shift(Array1<int> perm, int first, int last) {
  if (first >= last) return;
  const int moving = perm[first];
  for (int k = first; k < last; ++k) perm[k] = perm[k + 1];
  perm[last] = moving;
}

}  // namespace zun::lu
