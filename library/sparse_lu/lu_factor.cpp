// PRUNEN: set-up of the sparse LU factorisation (entry scan, column sort, duplicate check, row
// lists, count lists), the final layout of the factors and the statistics words.
#include "library/sparse_lu/lu_factor.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "library/sparse_lu/lu_rank.h"
#include "library/sparse_lu/sparse_lu.h"

namespace zun {
namespace lu {
namespace {

namespace iw = lu_integer_words;
namespace rw = lu_real_words;

// Drops the entries with |a| <= small (the last kept entry takes the place), checks the
// indices of the kept ones and counts them per row and column.  Returns the kept count.
int lu_scan_entries(FactorWork& s, int nelem, double& amax) {
  const Factors& f = s.f;
  for (int i = 1; i <= f.m; ++i) f.lenr[i] = 0;
  for (int j = 1; j <= f.n; ++j) f.lenc[j] = 0;
  amax = 0.0;
  int kept = nelem;
  for (int l = nelem; l >= 1; --l) {
    if (std::abs(f.a[l]) <= s.small) {
      f.a[l] = f.a[kept];
      f.indc[l] = f.indc[kept];
      f.indr[l] = f.indr[kept];
      --kept;
      continue;
    }
    const int i = f.indc[l];
    const int j = f.indr[l];
    if (i < 1 || i > f.m || j < 1 || j > f.n) {
      s.inform = lu_inform::kBadIndex;
      s.bad = BadEntry{l, i, j};
      return kept;
    }
    f.lenr[i] += 1;
    f.lenc[j] += 1;
    amax = std::max(amax, std::abs(f.a[l]));
  }
  return kept;
}

// Sorts the nz entries in place by column, following the cycle of places each entry
// displaces; placed entries carry column number 0.  Sets locc to the column starts.
void lu_order_by_columns(const FactorWork& s, int nz) {
  const Factors& f = s.f;
  int next = 1;
  for (int j = 1; j <= f.n; ++j) {
    f.locc[j] = next;
    next += f.lenc[j];
  }
  for (int l = 1; l <= nz; ++l) {
    int jce = f.indr[l];
    if (jce == 0) continue;
    double ace = f.a[l];
    int ice = f.indc[l];
    f.indr[l] = 0;
    for (;;) {
      const int loc = f.locc[jce];
      f.locc[jce] += 1;
      const double acep = f.a[loc];
      const int icep = f.indc[loc];
      const int jcep = f.indr[loc];
      f.a[loc] = ace;
      f.indc[loc] = ice;
      f.indr[loc] = 0;
      if (jcep == 0) break;
      ace = acep;
      ice = icep;
      jce = jcep;
    }
  }
  for (int j = 1; j <= f.n; ++j) f.locc[j] -= f.lenc[j];
}

// Looks for a repeated row index within a column, with tags(1..m) as scratch.
bool find_duplicate_row(FactorWork& s, Array1<int> tags) {
  const Factors& f = s.f;
  for (int i = 1; i <= f.m; ++i) tags[i] = 0;
  for (int j = 1; j <= f.n; ++j) {
    for (int l = f.locc[j]; l < f.locc[j] + f.lenc[j]; ++l) {
      const int i = f.indc[l];
      if (tags[i] == j) {
        s.inform = lu_inform::kDuplicate;
        s.bad = BadEntry{l, i, j};
        return true;
      }
      tags[i] = j;
    }
  }
  return false;
}

// Builds the row file: the column numbers of row i at locr(i), in increasing column order.
void lu_fill_row_lists(const FactorWork& s) {
  const Factors& f = s.f;
  int end = 1;
  for (int i = 1; i <= f.m; ++i) {
    end += f.lenr[i];
    f.locr[i] = end;
  }
  for (int j = f.n; j >= 1; --j) {
    for (int l = f.locc[j]; l < f.locc[j] + f.lenc[j]; ++l) {
      const int i = f.indc[l];
      f.locr[i] -= 1;
      f.indr[f.locr[i]] = j;
    }
  }
}

// Orders the npos items by increasing count (empty ones first), stably, and sets the starts.
void lu_bucket_by_count(const CountList& list, Array1<int> count) {
  for (int k = 1; k <= list.maxcount; ++k) list.loc[k] = 0;
  int empty = 0;
  for (int item = 1; item <= list.npos; ++item) {
    if (count[item] == 0) {
      ++empty;
    } else {
      list.loc[count[item]] += 1;
    }
  }
  int next = empty + 1;
  for (int k = 1; k <= list.maxcount; ++k) {
    const int items = list.loc[k];
    list.loc[k] = next;
    next += items;
  }
  int zero_place = 1;
  for (int item = 1; item <= list.npos; ++item) {
    const int c = count[item];
    const int q = (c == 0) ? zero_place++ : list.loc[c]++;
    list.perm[q] = item;
    list.inv[item] = q;
  }
  for (int k = list.maxcount; k >= 1; --k) {
    list.loc[k] = (k > 1) ? list.loc[k - 1] : empty + 1;
  }
}

// Copies the U rows in pivot order to places 1..lenU through the copier put(place, value,
// column) and sets their starts and lengths.
template <class Put>
void gather_u_rows(FactorWork& s, Put put) {
  const Factors& f = s.f;
  int next = 1;
  for (int k = 1; k <= s.nrank; ++k) {
    const int i = f.ip[k];
    const int l1 = f.locr[i];
    const int len = -f.lenr[i];
    f.locr[i] = next;
    f.lenr[i] = len;
    for (int l = l1; l < l1 + len; ++l, ++next) put(next, f.a[l], f.indr[l]);
  }
}

// Moves the U rows to the front in pivot order and packs the L columns from lena downward;
// sets the U row starts and lengths and the L column lengths (locc cleared).  The U rows and
// L columns all lie at lfile and above; when the U rows fit below lfile they are copied in
// place before the L columns move, else through a buffer.
void store_final_factors(FactorWork& s) {
  const Factors& f = s.f;
  const std::int64_t len_u = s.len_u;
  const bool direct = len_u < s.lfile;
  std::vector<double> ua;
  std::vector<int> uj;
  if (direct) {
    gather_u_rows(s, [&f](int l, double v, int j) {
      f.a[l] = v;
      f.indr[l] = j;
      f.indc[l] = 0;
    });
  } else {
    ua.resize(static_cast<std::size_t>(len_u));
    uj.resize(static_cast<std::size_t>(len_u));
    gather_u_rows(s, [&ua, &uj](int l, double v, int j) {
      ua[static_cast<std::size_t>(l - 1)] = v;
      uj[static_cast<std::size_t>(l - 1)] = j;
    });
  }
  std::vector<int> lcol_len;
  lcol_len.reserve(static_cast<std::size_t>(s.num_l0));
  int top = f.lena;
  for (int k = 1; k <= s.nrank; ++k) {
    const int j = f.iq[k];
    const int len = -f.lenc[j] - 1;
    if (len <= 0) continue;
    const int src = f.locc[j];
    const int dst = top - len + 1;
    for (int q = len - 1; q >= 0; --q) {
      f.a[dst + q] = f.a[src + q];
      f.indc[dst + q] = f.indc[src + q];
      f.indr[dst + q] = f.indr[src + q];
    }
    top = dst - 1;
    lcol_len.push_back(len);
  }
  for (std::int64_t l = 1; !direct && l <= len_u; ++l) {
    f.a[l] = ua[static_cast<std::size_t>(l - 1)];
    f.indr[l] = uj[static_cast<std::size_t>(l - 1)];
    f.indc[l] = 0;
  }
  for (int k = s.nrank + 1; k <= f.m; ++k) f.lenr[f.ip[k]] = 0;
  for (int j = 1; j <= f.n; ++j) {
    f.locc[j] = 0;
    f.lenc[j] = 0;
  }
  for (std::size_t k = 0; k < lcol_len.size(); ++k) f.lenc[static_cast<int>(k) + 1] = lcol_len[k];
}

// Reads the settings of LuParameters.
void read_settings(FactorWork& s) {
  const Factors& f = s.f;
  s.small = f.rword(rw::kDropTol);
  s.ltol1 = std::max(f.rword(rw::kFactorTol), 1.0001);
  s.dens1 = f.rword(rw::kDensity1);
  s.dens2 = f.rword(rw::kDensity2);
  s.uspace = f.rword(rw::kGrowthSpace);
  s.maxcol = std::max(f.iword(iw::kMaxCol), 1);
  s.keep = f.iword(iw::kKeepFactors) != 0;
}

bool factors_usable(const FactorWork& s) {
  return s.inform == lu_inform::kOk || s.inform == lu_inform::kSingular;
}

// After a failure the factors are unusable: they are left empty (rank 0, no L or U entries,
// identity permutations), so that a solve called with them all the same reads nothing of
// the files.
void leave_empty_factors(const FactorWork& s) {
  const Factors& f = s.f;
  for (int k = 1; k <= f.m; ++k) f.ip[k] = k;
  for (int k = 1; k <= f.n; ++k) f.iq[k] = k;
}

void store_words(const FactorWork& s, double amax) {
  const Factors& f = s.f;
  const bool good = factors_usable(s);
  const int num_l0 = (good && s.keep) ? s.num_l0 : 0;
  const int len_l = good ? clamp_to_int(s.len_l) : 0;
  const int len_u = good ? clamp_to_int(s.len_u) : 0;
  f.luparm[iw::kInform] = s.inform;
  f.luparm[iw::kMinLength] = clamp_to_int(s.minlen);
  f.luparm[iw::kReplacements] = 0;
  f.luparm[iw::kRank] = good ? s.nrank : 0;
  f.luparm[iw::kDense1Columns] = s.ndens1;
  f.luparm[iw::kDense2Columns] = s.ndens2;
  f.luparm[iw::kNumL0] = num_l0;
  f.luparm[iw::kLenL0] = len_l;
  f.luparm[iw::kLenU0] = len_u;
  f.luparm[iw::kLenL] = len_l;
  f.luparm[iw::kLenU] = len_u;
  f.luparm[iw::kRowFileEnd] = (good && s.keep) ? len_u : 0;
  f.luparm[iw::kMeritSum] = clamp_to_int(s.merit_sum);
  f.luparm[iw::kUpperTriPivots] = s.n_utri;
  f.luparm[iw::kLowerTriPivots] = s.n_ltri;
  f.parmlu[rw::kAmax] = amax;
}

// How many long lines of `items` items each may have an index at once: their arrays take
// about as much room as one eighth of the caller's storage, and at least a few are allowed.
int long_line_slots(int lena, int items) {
  constexpr int kMinSlots = 4;
  constexpr std::int64_t kShare = 8;
  const std::int64_t slots = lena / (kShare * (static_cast<std::int64_t>(items) + 1));
  return static_cast<int>(std::max<std::int64_t>(kMinSlots, slots));
}

// Set-up and elimination; leaves the result in s.
void factorize(FactorWork& s, int nelem, double& amax) {
  const Factors& f = s.f;
  const std::int64_t side = 2 * (static_cast<std::int64_t>(f.m) + f.n);
  amax = 0.0;
  if (f.lena < nelem + side) {
    s.inform = lu_inform::kNoStorage;
    s.minlen = nelem + side;
    return;
  }
  const int nz = lu_scan_entries(s, nelem, amax);
  if (s.inform != lu_inform::kOk) return;
  if (nz > 0) {
    lu_order_by_columns(s, nz);
    if (find_duplicate_row(s, s.rows.inv)) return;
    lu_fill_row_lists(s);
  }
  lu_bucket_by_count(s.rows, f.lenr);
  lu_bucket_by_count(s.cols, f.lenc);
  s.lcol = s.lrow = nz;
  s.lcol_compressed = s.lrow_compressed = nz;
  s.active = nz;
  s.lfile = s.keep ? f.lena + 1 : f.lena - f.n + 1;
  s.mark.assign(static_cast<std::size_t>(f.m) + 1, 0);
  s.long_columns.init(f.n, f.m, long_line_slots(f.lena, f.m));
  s.long_rows.init(f.m, f.n, long_line_slots(f.lena, f.n));
  PRUNEM(s);
  if (s.inform != lu_inform::kOk && s.inform != lu_inform::kNoStorage) {
    s.inform = lu_inform::kInternalError;
  }
  if (s.inform != lu_inform::kOk) return;
  if (!s.dense_done) s.nrank = partition_by_flag(s);
  s.minlen = s.len_l + s.len_u + side;
  if (!s.keep) return;
  store_final_factors(s);
  s.inform = PRUNEK(s.f, s.nrank, clamp_to_int(s.len_l), s.w);
}

}  // namespace
}  // namespace lu

void PRUNEN(const int& m,
            const int& n,
            int& nelem,
            const int& lena,
            int* luparm,
            double* parmlu,
            double* a,
            int* indc,
            int* indr,
            int* ip,
            int* iq,
            int* lenc,
            int* lenr,
            int* locc,
            int* locr,
            int* iploc,
            int* iqloc,
            int* ipinv,
            int* iqinv,
            double* w,
            int& inform) {
  using lu::Array1;
  lu::FactorWork s;
  s.f = lu::Factors{m,
                    n,
                    lena,
                    Array1<int>(luparm),
                    Array1<double>(parmlu),
                    Array1<double>(a),
                    Array1<int>(indc),
                    Array1<int>(indr),
                    Array1<int>(ip),
                    Array1<int>(iq),
                    Array1<int>(lenc),
                    Array1<int>(lenr),
                    Array1<int>(locc),
                    Array1<int>(locr)};
  s.rows = lu::CountList{Array1<int>(ip), Array1<int>(iploc), Array1<int>(ipinv), m, n};
  s.cols = lu::CountList{Array1<int>(iq), Array1<int>(iqloc), Array1<int>(iqinv), n, m};
  s.w = Array1<double>(w);
  lu::read_settings(s);
  s.f.luparm[lu_integer_words::kCompressions] = 0;
  double amax = 0.0;
  lu::factorize(s, nelem, amax);
  if (s.inform == lu_inform::kBadIndex || s.inform == lu_inform::kDuplicate ||
      s.inform == lu_inform::kInternalError) {
    s.minlen = s.len_l + s.len_u + 2 * (static_cast<std::int64_t>(m) + n);
  }
  if (!lu::factors_usable(s)) lu::leave_empty_factors(s);
  lu::store_words(s, amax);
  lu::report_factorization(s.f.luparm, s.f.parmlu, n, lena, s.bad);
  inform = s.inform;
}

}  // namespace zun
