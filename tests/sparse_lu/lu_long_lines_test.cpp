// Factorisations with long columns and rows (an arrowhead, full columns and rows among short
// ones), whose steps go through the index of the long lines; the tournament that gives the
// largest entry of an indexed column.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "library/sparse_lu/lu_long_lines.h"
#include "tests/sparse_lu/lu_test_support.h"

namespace zun::lu_test {
namespace {

namespace iw = lu_integer_words;
namespace rw = lu_real_words;

// First offset of the largest magnitude among the present ones (a NaN is never the largest;
// 0 when nothing is present or only NaNs are).
int first_largest(const std::vector<double>& value, const std::vector<bool>& present) {
  int best = -1;
  for (std::size_t k = 0; k < value.size(); ++k) {
    if (!present[k]) continue;
    const double key = lu::magnitude_key(value[k]);
    if (best < 0 || key > lu::magnitude_key(value[static_cast<std::size_t>(best)])) {
      best = static_cast<int>(k);
    }
  }
  return std::max(best, 0);
}

TEST(LuTournament, FindsTheFirstLargestUnderChanges) {
  std::mt19937 rng(5);
  const double unusual[] = {std::nan(""), std::numeric_limits<double>::infinity(), 0.0};
  for (int round = 0; round < 20; ++round) {
    const int len = 1 + static_cast<int>(rng() % 40);
    std::vector<double> value(static_cast<std::size_t>(len));
    // Few distinct values, so that ties are common.
    for (double& v : value) v = static_cast<double>(static_cast<int>(rng() % 7) - 3);
    std::vector<bool> present(value.size(), true);
    lu::Tournament t;
    t.build(value.data(), len);
    ASSERT_EQ(t.first_max(), first_largest(value, present));
    for (int op = 0; op < 300; ++op) {
      const int offset = static_cast<int>(rng() % (value.size() + 3));
      if (offset >= static_cast<int>(value.size())) {
        value.resize(static_cast<std::size_t>(offset) + 1, 0.0);
        present.resize(value.size(), false);
      }
      const auto k = static_cast<std::size_t>(offset);
      if (rng() % 4 == 0) {
        t.clear(offset);
        present[k] = false;
      } else {
        value[k] = rng() % 10 == 0 ? unusual[rng() % 3]
                                   : static_cast<double>(static_cast<int>(rng() % 9) - 4);
        t.set(offset, lu::magnitude_key(value[k]));
        present[k] = true;
      }
      ASSERT_EQ(t.first_max(), first_largest(value, present)) << "round " << round << " op " << op;
    }
  }
}

// The deletions through the index must leave a line as the sweep leaves it, and delete its
// entries in the sweep's order (which moves the rows between count lists in that order).
TEST(LuLongLines, DeletionsInTheOrderOfTheSweep) {
  std::mt19937 rng(21);
  for (int round = 0; round < 400; ++round) {
    const int len = 1 + static_cast<int>(rng() % 30);
    std::vector<int> line(static_cast<std::size_t>(len));
    for (int k = 0; k < len; ++k) line[static_cast<std::size_t>(k)] = 100 + k;
    std::vector<bool> is_dead(200, false);
    std::vector<int> dead;
    const unsigned share = 1 + rng() % 4;  // about 1 in share entries dies
    for (int k = 0; k < len; ++k) {
      if (rng() % share == 0) {
        dead.push_back(k);
        is_dead[static_cast<std::size_t>(line[static_cast<std::size_t>(k)])] = true;
      }
    }
    // The sweep itself.
    std::vector<int> swept = line;
    std::vector<int> swept_order;
    for (std::size_t l = 0; l < swept.size();) {
      if (!is_dead[static_cast<std::size_t>(swept[l])]) {
        ++l;
        continue;
      }
      swept_order.push_back(swept[l]);
      swept[l] = swept.back();
      swept.pop_back();
    }
    std::vector<int> indexed = line;
    std::vector<int> indexed_order;
    lu::delete_as_swept(dead, len, [&indexed, &indexed_order](int offset) {
      indexed_order.push_back(indexed[static_cast<std::size_t>(offset)]);
      indexed[static_cast<std::size_t>(offset)] = indexed.back();
      indexed.pop_back();
    });
    ASSERT_EQ(indexed_order, swept_order) << "round " << round;
    ASSERT_EQ(indexed, swept) << "round " << round;
  }
}

// Diagonal plus a full last row and column.
Triples arrowhead(int m, std::mt19937& rng) {
  std::uniform_real_distribution<double> val(0.1, 1.0);
  Triples t;
  t.m = t.n = m;
  for (int j = 1; j < m; ++j) {
    t.add(j, j, 4.0 * val(rng));
    t.add(m, j, val(rng));
    t.add(j, m, -val(rng));
  }
  t.add(m, m, 4.0);
  return t;
}

// A banded random matrix with column (or row) `full` made full.
Triples with_full_line(int m, int full, bool row, std::mt19937& rng) {
  const Triples banded = random_banded(m, 3.0, 20, rng);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  Triples t;
  t.m = t.n = m;
  std::vector<bool> held(static_cast<std::size_t>(m) + 1, false);
  for (std::size_t k = 0; k < banded.a.size(); ++k) {
    t.add(banded.row[k], banded.col[k], banded.a[k]);
    if ((row ? banded.row[k] : banded.col[k]) == full) {
      held[static_cast<std::size_t>(row ? banded.col[k] : banded.row[k])] = true;
    }
  }
  for (int k = 1; k <= m; ++k) {
    if (held[static_cast<std::size_t>(k)]) continue;
    if (row) {
      t.add(full, k, val(rng));
    } else {
      t.add(k, full, val(rng));
    }
  }
  return t;
}

// Three full rows (m-2, m-1, m) and a full last column over a diagonal of 4s.  Every pivot
// (k, k) takes exactly 1 from the three last-row entries of column m, which start at `corner`:
// at step `corner` they fall to 0 together and are deleted, and come back as fill (-1) at the
// next step.  The arithmetic is exact, so the factors must solve to rounding.
Triples cancelling_arrowhead(int m, double corner) {
  Triples t;
  t.m = t.n = m;
  for (int k = 1; k <= m - 3; ++k) {
    t.add(k, k, 4.0);
    for (int i = m - 2; i <= m; ++i) t.add(i, k, 1.0);
    t.add(k, m, 4.0);
  }
  const int p = m - 2;
  const int q = m - 1;
  t.add(p, p, 4.0);
  t.add(q, p, 1.0);
  t.add(m, p, 1.0);
  t.add(p, q, 1.0);
  t.add(q, q, 4.0);
  t.add(m, q, 1.0);
  for (int i = p; i <= m; ++i) t.add(i, m, corner);
  return t;
}

struct LongCase {
  const char* name;
  Triples t;
  bool fill_free;            // the factors hold exactly the entries of A
  int lena_per_entry = 12;   // storage: this many places per entry of A (and 10 per row)
};

// A banded random matrix with `count` full columns spread over it.
Triples with_full_columns(int m, int count, std::mt19937& rng) {
  const Triples banded = random_banded(m, 3.0, 20, rng);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  const int gap = m / count;
  Triples t;
  t.m = t.n = m;
  for (std::size_t k = 0; k < banded.a.size(); ++k) {
    if (banded.col[k] % gap != 0) t.add(banded.row[k], banded.col[k], banded.a[k]);
  }
  for (int j = gap; j <= m; j += gap) {
    for (int i = 1; i <= m; ++i) t.add(i, j, i == j ? 8.0 : val(rng));
  }
  return t;
}

std::vector<LongCase> long_cases() {
  std::mt19937 rng(77);
  std::vector<LongCase> cases;
  cases.push_back({"arrowhead", arrowhead(900, rng), true});
  cases.push_back({"full_column", with_full_line(900, 450, false, rng), false});
  cases.push_back({"full_row", with_full_line(900, 300, true, rng), false});
  cases.push_back({"full_first_column", with_full_line(700, 1, false, rng), false});
  cases.push_back({"cancelling_arrowhead", cancelling_arrowhead(700, 300.0), false});
  // More long columns than indices: the rest are swept.
  cases.push_back({"many_full_columns", with_full_columns(800, 25, rng), false, 5});
  return cases;
}

class LongLineTest : public ::testing::TestWithParam<LongCase> {};

TEST_P(LongLineTest, FactorsSolveAndKeepTheirLayout) {
  const LongCase& c = GetParam();
  const int nnz = static_cast<int>(c.t.a.size());
  LuHarness h(c.t.m, c.t.n, c.lena_per_entry * nnz + 10 * c.t.m);
  if (c.fill_free) {
    // No dense finish, which would store fill of its own.
    h.parmlu[rw::kDensity1 - 1] = 2.0;
    h.parmlu[rw::kDensity2 - 1] = 2.0;
  }
  ASSERT_EQ(h.factor(c.t), 0);
  EXPECT_EQ(triangular_fault(h), "");
  EXPECT_LT(solve_residual(h, c.t), 1e-12);
  int len_l = 0;
  for (int k = 1; k <= h.iword(iw::kNumL0); ++k) len_l += h.lenc[k - 1];
  EXPECT_EQ(len_l, h.iword(iw::kLenL));
  int len_u = 0;
  for (int k = 1; k <= h.iword(iw::kRank); ++k) len_u += h.lenr[h.ip[k - 1] - 1];
  EXPECT_EQ(len_u, h.iword(iw::kLenU));
  if (c.fill_free) {
    EXPECT_EQ(len_l + len_u, nnz);
  }
  EXPECT_LE(h.rword(rw::kLmax), h.rword(rw::kFactorTol) * (1 + 1e-12));
}

INSTANTIATE_TEST_SUITE_P(Matrices,
                         LongLineTest,
                         ::testing::ValuesIn(long_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// An infinite entry in a long column's pivot row: the step cannot go through the column's
// index (the sweep alone handles it), and the files must keep their layout.
TEST(LongLines, InfiniteEntryInAnIndexedColumn) {
  for (const int bad_row : {40, 200, 500}) {
    Triples t = cancelling_arrowhead(700, 300.0);
    for (std::size_t k = 0; k < t.a.size(); ++k) {
      if (t.row[k] == bad_row && t.col[k] == t.n) t.a[k] = std::numeric_limits<double>::infinity();
    }
    LuHarness h(t.m, t.n, 12 * static_cast<int>(t.a.size()) + 10 * t.m);
    const int inform = h.factor(t);
    ASSERT_TRUE(inform == 0 || inform == 1) << "row " << bad_row;
    int len_u = 0;
    for (int k = 1; k <= h.iword(iw::kRank); ++k) len_u += h.lenr[h.ip[k - 1] - 1];
    EXPECT_EQ(len_u, h.iword(iw::kLenU));
    const int len_l = h.iword(iw::kLenL);
    for (int p = h.lena() - len_l + 1; p <= h.lena(); ++p) {
      ASSERT_GE(h.indc[p - 1], 1);
      ASSERT_LE(h.indc[p - 1], t.m);
    }
    std::vector<int> ip = h.ip;
    std::sort(ip.begin(), ip.end());
    for (int k = 1; k <= t.m; ++k) ASSERT_EQ(ip[k - 1], k);
  }
}

}  // namespace
}  // namespace zun::lu_test
