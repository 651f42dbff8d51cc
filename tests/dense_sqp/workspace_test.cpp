// The partition of the dense workspaces: the needs in closed form, arrays disjoint and inside
// the partitioned area, the tail at the end of WORK.
#include "library/dense_sqp/dense_workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "tests/dense_sqp/dense_harness.h"

namespace zun {
namespace {

std::int64_t closed_form_reals(std::int64_t n, std::int64_t nclin, std::int64_t ncnln) {
  if (ncnln >= 1) {
    return 2 * n * n + n * nclin + 2 * n * ncnln + 21 * n + 11 * nclin + 22 * ncnln + 1;
  }
  if (nclin >= 1) return 2 * n * n + 21 * n + 11 * nclin + 2;
  return 21 * n + 2;
}

void expect_disjoint_inside(std::vector<DenseArraySpan> spans, std::int64_t area) {
  std::sort(spans.begin(), spans.end(),
            [](const DenseArraySpan& a, const DenseArraySpan& b) { return a.start < b.start; });
  std::int64_t end = 0;
  for (const DenseArraySpan& s : spans) {
    EXPECT_GE(s.length, 0);
    if (s.length == 0) continue;
    EXPECT_GT(s.start, end) << "array of word " << s.word << " overlaps the one before";
    end = std::max(end, s.start + s.length - 1);
  }
  EXPECT_LE(end, area);
}

class DensePartitionGrid : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(DensePartitionGrid, NeedsMatchTheClosedFormAndArraysAreDisjoint) {
  const auto [n, nclin, ncnln] = GetParam();
  const DensePartition p = plan_dense_workspace(n, nclin, ncnln);
  EXPECT_EQ(p.need.integers, 3LL * n + nclin + 2LL * ncnln);
  EXPECT_EQ(p.need.reals, closed_form_reals(n, nclin, ncnln));
  const std::int64_t tail = n + nclin + std::max(1, ncnln) + 1;
  std::vector<DenseArraySpan> reals(std::begin(p.real_arrays), std::end(p.real_arrays));
  // The spare words for the marks of missing Jacobian elements, when there is room for them
  // (always when NCLIN + 2 NCNLN <= N), overlap nothing.
  const std::int64_t marks = dense_spare_jacobian_start(n, nclin, ncnln, p.need.reals);
  if (marks > 0) reals.push_back({0, marks, static_cast<std::int64_t>(n) * ncnln});
  EXPECT_TRUE(marks > 0 || ncnln == 0 || nclin + 2 * ncnln > n);
  expect_disjoint_inside(reals, p.need.reals - tail);
  expect_disjoint_inside({std::begin(p.integer_arrays), std::end(p.integer_arrays)},
                         p.need.integers);
  const DenseTail t = dense_work_tail(n, nclin, ncnln, static_cast<int>(p.need.reals));
  EXPECT_EQ(t.linear_values, p.need.reals - tail + 1);
  EXPECT_EQ(t.objective, p.need.reals);
}

INSTANTIATE_TEST_SUITE_P(Sizes,
                         DensePartitionGrid,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3, 17),
                                            ::testing::Values(0, 1, 5),
                                            ::testing::Values(0, 1, 4)));

TEST(DensePartition, StatedExamples) {
  EXPECT_EQ(dense_workspace_need(3, 0, 0).integers, 9);
  EXPECT_EQ(dense_workspace_need(3, 0, 0).reals, 65);
  EXPECT_EQ(dense_workspace_need(2, 1, 1).integers, 9);
  EXPECT_EQ(dense_workspace_need(2, 1, 1).reals, 90);
}

TEST(DensePartition, HugeSizesAreCountedIn64Bits) {
  const DenseWorkspaceNeed need = dense_workspace_need(100000, 0, 100000);
  EXPECT_EQ(need.reals, closed_form_reals(100000, 0, 100000));
  EXPECT_GT(need.reals, 2147483647LL);
}

TEST(DensePartition, StartsAreStoredInTheirWords) {
  dense_test::LocalDenseStore store;
  const DenseNeed need = partition_dense_workspace(3, 1, 2, store.view());
  const DensePartition p = plan_dense_workspace(3, 1, 2);
  EXPECT_EQ(need.reals, p.need.reals);
  for (const DenseArraySpan& s : p.real_arrays) EXPECT_EQ(store.i(s.word), s.start);
  for (const DenseArraySpan& s : p.integer_arrays) EXPECT_EQ(store.i(s.word), s.start);
}

}  // namespace
}  // namespace zun
