// Input checks of the sparse solver.
#include "library/sparse_sqp/input_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "library/platform/format.h"
#include "library/sparse_sqp/exit_messages.h"
#include "library/support/one_based.h"
#include "library/support/output.h"

namespace zun {
namespace {

using platform::format_g1;
using platform::format_i;

constexpr int kMinimumLength = 500;
constexpr double kDefaultBigBound = 1e20;

std::string num(std::int64_t v) { return format_i(v, 16); }
std::string real(double v) { return format_g1(v, 16, 7); }

// Counts failed checks and writes their messages (a blank record, then the records).
class EntryErrors {
 public:
  EntryErrors(int unit, bool print, int& nerr) : unit_(unit), print_(print), nerr_(nerr) {}

  void fail(std::initializer_list<std::string> records) {
    ++nerr_;
    if (!print_) return;
    write_line(unit_, " ", 1);
    for (const std::string& r : records) write_line(unit_, r.data(), static_cast<int>(r.size()));
  }
  int count() const { return nerr_; }

 private:
  int unit_;
  bool print_;
  int& nerr_;
};

void check_start_and_sizes(const SparseProblem& p, EntryErrors& e) {
  const char s = p.start;
  if (s != 'C' && s != 'c' && s != 'W' && s != 'w') {
    e.fail({" ** On entry, START parameter not recognized:",
            "    START = '" + std::string(1, s) + "'."});
  }
  if (p.n < 1) e.fail({" ** On entry, N.lt.1:", "    N = " + num(p.n)});
  if (p.m < 1) e.fail({" ** On entry, M.lt.1:", "    M = " + num(p.m)});
  if (p.n > 0 && p.m > 0 &&
      (p.nnz < 1 || static_cast<std::int64_t>(p.nnz) > std::int64_t{p.n} * p.m)) {
    e.fail({" ** On entry, NNZ.lt.1 or NNZ.gt.N*M:",
            "    NNZ = " + num(p.nnz) + ", N = " + num(p.n) + ", M = " + num(p.m)});
  }
  if (p.ncnln < 0 || p.ncnln > p.m) {
    e.fail({" ** On entry, NCNLN.lt.0 or NCNLN.gt.M:",
            "    NCNLN = " + num(p.ncnln) + ", M = " + num(p.m)});
  }
  if (p.nonln < 0 || p.nonln > p.n) {
    e.fail({" ** On entry, NONLN.lt.0 or NONLN.gt.N:",
            "    NONLN = " + num(p.nonln) + ", N = " + num(p.n)});
  }
  if (p.ncnln == 0 && p.njnln != 0) {
    e.fail({" ** On entry, NJNLN.ne.0 when NCNLN.eq.0:", "    NJNLN = " + num(p.njnln)});
  } else if (p.ncnln != 0 && (p.njnln < 1 || p.njnln > p.n)) {
    e.fail({" ** On entry, NJNLN.lt.1 or NJNLN.gt.N when NCNLN.gt.0:",
            "    NJNLN = " + num(p.njnln) + ", N = " + num(p.n) + ", NCNLN = " + num(p.ncnln)});
  }
}

void check_objective_names_lengths(const SparseProblem& p, EntryErrors& e) {
  if (p.iobj < -1) e.fail({" ** On entry, IOBJ.lt.-1:", "    IOBJ = " + num(p.iobj)});
  if (p.iobj >= 1 && (p.iobj <= p.ncnln || p.iobj > p.m)) {
    e.fail({" ** On entry, IOBJ.le.NCNLN or IOBJ.gt.M:",
            "    IOBJ = " + num(p.iobj) + ", NCNLN = " + num(p.ncnln) + ", M = " + num(p.m)});
  }
  // The dummy free row is row 1, which would be a nonlinear row.
  if (p.iobj == -1 && p.ncnln >= 1) {
    e.fail({" ** On entry, IOBJ.eq.-1 when NCNLN.gt.0:",
            "    IOBJ = " + num(p.iobj) + ", NCNLN = " + num(p.ncnln)});
  }
  const std::int64_t nm = std::int64_t{p.n} + p.m;
  if (p.nname != 1 && p.nname != nm) {
    e.fail({" ** On entry, NNAME.ne.1 and NNAME.ne.(N+M):",
            "    NNAME = " + num(p.nname) + ", N = " + num(p.n) + ", M = " + num(p.m)});
  }
  if (p.leniz < std::max<std::int64_t>(kMinimumLength, nm)) {
    e.fail({" ** On entry, LENIZ.lt.max(500,N+M):",
            "    LENIZ = " + num(p.leniz) + ", N = " + num(p.n) + ", M = " + num(p.m)});
  }
  if (p.lenz < kMinimumLength) {
    e.fail({" ** On entry, LENZ.lt.500:", "    LENZ = " + num(p.lenz)});
  }
}

void check_matrix_structure(const SparseProblem& p, EntryErrors& e) {
  Words<const int> ha(p.ha);
  Words<const int> ka(p.ka);
  for (std::int64_t i = 1; i <= p.nnz; ++i) {
    if (ha(i) < 1 || ha(i) > p.m) {
      e.fail({" ** On entry, HA(i).lt.1 or HA(i).gt.M for some i:",
              "    i = " + num(i) + ", HA(i) = " + num(ha(i)) + ", M = " + num(p.m)});
    }
  }
  if (ka(1) != 1) e.fail({" ** On entry, KA(1).ne.1:", "    KA(1) = " + num(ka(1))});
  if (ka(p.n + 1) != std::int64_t{p.nnz} + 1) {
    e.fail({" ** On entry, KA(N+1).ne.(NNZ+1):", "    N+1 = " + num(std::int64_t{p.n} + 1) +
                                                     ", KA(N+1) = " + num(ka(p.n + 1)) +
                                                     ", NNZ+1 = " + num(std::int64_t{p.nnz} + 1)});
  }
  for (int j = 2; j <= p.n; ++j) {
    if (ka(j) < 1) {
      e.fail({" ** On entry, KA(j).lt.1 for some j:",
              "    j = " + num(j) + ", KA(j) = " + num(ka(j))});
    }
  }
  for (int j = 1; j <= p.n; ++j) {
    const std::int64_t k = std::int64_t{ka(j + 1)} - ka(j);
    if (k < 0 || k > p.m) {
      e.fail({" ** On entry, k.lt.0 or k.gt.M, where k = KA(j+1) - KA(j):",
              "    k = " + num(k) + ", M = " + num(p.m) + ", j = " + num(j),
              "    KA(j+1) = " + num(ka(j + 1)) + ", KA(j) = " + num(ka(j))});
    }
  }
}

// In each nonlinear Jacobian column the nonlinear rows must come first, since the Jacobian
// elements are the leading elements of those columns.
void check_nonlinear_rows_first(const SparseProblem& p, EntryErrors& e) {
  if (p.ncnln < 1) return;
  Words<const int> ha(p.ha);
  Words<const int> ka(p.ka);
  for (int j = 1; j <= p.njnln; ++j) {
    bool linear_seen = false;
    for (std::int64_t k = ka(j); k < ka(j + 1); ++k) {
      if (ha(k) > p.ncnln) {
        linear_seen = true;
      } else if (linear_seen) {
        e.fail({" ** On entry, nonlinear rows do not come first in column j:",
                "    j = " + num(j) + ", i = " + num(ha(k)) + ", NCNLN = " + num(p.ncnln)});
        return;
      }
    }
  }
}

void check_mode1(const SparseProblem& p, int* iz, EntryErrors& e) {
  check_start_and_sizes(p, e);
  check_objective_names_lengths(p, e);
  if (e.count() > 0) return;
  check_matrix_structure(p, e);
  if (e.count() > 0) return;
  Words<int> scratch(iz);
  Words<const int> ka(p.ka);
  for (int j = 1; j <= p.n; ++j) scratch(p.m + j) = ka(j + 1) - ka(j);
  const DuplicateRow dup = find_duplicate_row(p.m, p.n, p.ha, scratch.at(p.m + 1), p.ka, iz);
  if (dup.found) {
    e.fail({" ** On entry, duplicate element found in row i, column j:",
            "    i = " + num(p.ha[dup.position - 1]) + ", j = " + num(dup.column)});
  }
  check_nonlinear_rows_first(p, e);
}

void check_states(const SparseProblem& p, EntryErrors& e) {
  const bool cold = p.start == 'C' || p.start == 'c';
  const std::int64_t last = cold ? p.n : std::int64_t{p.n} + p.m;
  const int highest = cold ? 5 : 3;
  const std::string kind = cold ? "'Cold'" : "'Warm'";
  Words<const int> istate(p.istate);
  for (std::int64_t j = 1; j <= last; ++j) {
    const int v = istate(j);
    if (v < 0) {
      e.fail({" ** On entry, ISTATE(i).lt.0 for some i when START = " + kind + ":",
              "    i = " + num(j) + ", ISTATE(i) = " + num(v)});
    } else if (v > highest) {
      e.fail({" ** On entry, ISTATE(i).gt." + std::to_string(highest) +
                  " for some i when START = " + kind + ":",
              "    i = " + num(j) + ", ISTATE(i) = " + num(v)});
    }
  }
}

void check_objective_row(const SparseProblem& p, double bigbnd, EntryErrors& e) {
  if (p.iobj == 0) return;
  const std::int64_t r = std::int64_t{p.n} + std::abs(p.iobj);
  const std::string sizes = "    N = " + num(p.n) + ", IOBJ = " + num(p.iobj);
  if (p.bl[r - 1] > -bigbnd) {
    e.fail({" ** On entry, BL(N+abs(IOBJ)).gt.(-bigbnd):", sizes,
            "    BL(N+abs(IOBJ)) = " + real(p.bl[r - 1]) + ", bigbnd = " + real(bigbnd)});
  }
  if (p.bu[r - 1] < bigbnd) {
    e.fail({" ** On entry, BU(N+abs(IOBJ)).lt.bigbnd:", sizes,
            "    BU(N+abs(IOBJ)) = " + real(p.bu[r - 1]) + ", bigbnd = " + real(bigbnd)});
  }
}

void check_bounds(const SparseProblem& p, double bigbnd, EntryErrors& e) {
  const int nm = p.n + p.m;
  for (int j = 1; j <= nm; ++j) {
    const double l = p.bl[j - 1];
    const double u = p.bu[j - 1];
    if (l <= u && !(l == u && std::abs(l) >= bigbnd)) continue;
    const std::string name =
        row_column_name(j, p.n, p.ncnln, p.nname, nm, p.namev, p.namev_len, p.iobj, false);
    const std::string jj = format_i(j, 6);
    if (l > u) {
      e.fail({" ** On entry, the bounds on  " + name + "  are inconsistent:",
              "    BL(" + jj + ") =" + real(l) + ", BU(" + jj + ") =" + real(u)});
    } else {
      e.fail({" ** On entry, the equal bounds on  " + name + "  are infinite (because",
              "    BL(" + jj + ").eq.beta and BU(" + jj + ").eq.beta, but abs(beta).ge.bigbnd):",
              "    beta =" + real(l) + ", bigbnd =" + real(bigbnd)});
    }
  }
}

}  // namespace

DuplicateRow find_duplicate_row(
    int m, int n, const int* ha, const int* counts, const int* ka, int* tags) {
  std::fill(tags, tags + m, 0);
  for (int j = 1; j <= n; ++j) {
    const std::int64_t first = ka[j - 1];
    for (std::int64_t k = first; k < first + counts[j - 1]; ++k) {
      int& tag = tags[ha[k - 1] - 1];
      if (tag == j) return {true, k, j};
      tag = j;
    }
  }
  return {};
}

std::string row_column_name(int k,
                            int n,
                            int ncnln,
                            int nname,
                            int nm,
                            const char* namev,
                            int namev_len,
                            int iobj,
                            bool dummy_row) {
  constexpr int kNameLength = 8;
  if (nname == nm) {
    const int len = std::clamp(namev_len, 0, kNameLength);
    const char* name = namev + static_cast<std::int64_t>(k - 1) * namev_len;
    return platform::format_a(std::string_view(name, len), kNameLength);
  }
  std::string name;
  if (k <= n) return name.append("X").append(format_i(k, 7));
  const int r = k - n;
  if (r == iobj) return dummy_row ? "DummyRow" : "Free Row";
  if (r <= ncnln) return name.append("N").append(format_i(r, 7));
  return name.append("L").append(format_i(r - ncnln, 7));
}

void check_sparse_inputs(int mode,
                         int& nerr,
                         const SparseProblem& p,
                         int* iz,
                         int error_unit,
                         double bigbnd,
                         int ifail) {
  if (mode == 1) nerr = 0;
  if (mode == 2 && nerr != 0) return;
  EntryErrors e(error_unit, failure_mode_prints(ifail), nerr);
  if (mode == 1) {
    check_mode1(p, iz, e);
    return;
  }
  if (bigbnd <= 0) bigbnd = kDefaultBigBound;
  check_states(p, e);
  check_objective_row(p, bigbnd, e);
  if (e.count() == 0) check_bounds(p, bigbnd, e);
}

}  // namespace zun
