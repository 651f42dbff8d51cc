// Partition of the dense solver's workspaces.
#include "library/dense_sqp/dense_workspace.h"

#include <algorithm>
#include <climits>
#include <iterator>

#include "library/dense_qp/ls_qp.h"

namespace zun {
namespace {

namespace da = dense_array;

// The length of an array in terms of the problem's sizes.
enum class Shape { kQpArea, kConstraintMatrix, kJacobian, kAllRows, kVariables, kNonlinear };

struct ArrayShape {
  int word;
  Shape shape;
};

constexpr ArrayShape kRealArrays[] = {
    {da::kQpWorkArea, Shape::kQpArea},
    {da::kConstraintMatrix, Shape::kConstraintMatrix},
    {da::kJacobian, Shape::kJacobian},
    {da::kFeasibilityTolerances, Shape::kAllRows},
    {da::kQpMultipliers, Shape::kAllRows},
    {da::kGradient, Shape::kVariables},
    {da::kStartPoint, Shape::kVariables},
    {da::kPointSaved, Shape::kVariables},
    {da::kForwardIntervals, Shape::kVariables},
    {da::kCentralIntervals, Shape::kVariables},
    {da::kCheckDirection, Shape::kVariables},
    {da::kVariableWork, Shape::kVariables},
    {da::kConstraintsSaved, Shape::kNonlinear},
    {da::kConstraintsTrial, Shape::kNonlinear},
    {da::kNonlinearMultipliers, Shape::kNonlinear},
    {da::kMultiplierStep, Shape::kNonlinear},
    {da::kMultipliersSaved, Shape::kNonlinear},
    {da::kPenalties, Shape::kNonlinear},
    {da::kSlacks, Shape::kNonlinear},
    {da::kSlackStep, Shape::kNonlinear},
    {da::kViolations, Shape::kNonlinear},
    {da::kPenaltyWork, Shape::kNonlinear},
    {da::kRowCheckWork, Shape::kNonlinear},
};

constexpr ArrayShape kIntegerArrays[] = {
    {da::kQpStates, Shape::kAllRows},
    {da::kActiveSet, Shape::kVariables},
    {da::kVariableOrder, Shape::kVariables},
    {da::kNeedRowCopy, Shape::kNonlinear},
};

std::int64_t length_of(Shape shape, std::int64_t n, std::int64_t nclin, std::int64_t ncnln) {
  switch (shape) {
    case Shape::kQpArea:
      if (nclin + ncnln == 0 || n == 0) return 0;
      return ls_qp_work_length(static_cast<int>(std::min<std::int64_t>(n, INT_MAX)),
                               static_cast<int>(std::min<std::int64_t>(nclin + ncnln, INT_MAX)));
    case Shape::kConstraintMatrix:
      return ncnln > 0 ? (nclin + ncnln) * n : 0;
    case Shape::kJacobian:
      return ncnln * n;
    case Shape::kAllRows:
      return n + nclin + ncnln;
    case Shape::kVariables:
      return n;
    case Shape::kNonlinear:
      return ncnln;
  }
  return 0;
}

// The real need in closed form: room for the arrays above and the tail.
std::int64_t closed_form_reals(std::int64_t n, std::int64_t nclin, std::int64_t ncnln) {
  if (ncnln >= 1) {
    return 2 * n * n + n * nclin + 2 * n * ncnln + 21 * n + 11 * nclin + 22 * ncnln + 1;
  }
  if (nclin >= 1) return 2 * n * n + 21 * n + 11 * nclin + 2;
  return 21 * n + 2;
}

template <std::size_t K>
std::int64_t lay_out(const ArrayShape (&shapes)[K],
                     DenseArraySpan* spans,
                     std::int64_t n,
                     std::int64_t nclin,
                     std::int64_t ncnln) {
  std::int64_t next = 1;
  for (std::size_t k = 0; k < K; ++k) {
    const std::int64_t length = length_of(shapes[k].shape, n, nclin, ncnln);
    spans[k] = {shapes[k].word, next, length};
    next += length;
  }
  return next - 1;
}

static_assert(std::size(kRealArrays) == std::size(DensePartition{}.real_arrays));
static_assert(std::size(kIntegerArrays) == std::size(DensePartition{}.integer_arrays));

}  // namespace

DensePartition plan_dense_workspace(int n, int nclin, int ncnln) {
  // Negative sizes are input errors; the partition is then formed for zero.
  const std::int64_t nn = std::max(n, 0), nl = std::max(nclin, 0), nc = std::max(ncnln, 0);
  DensePartition p{};
  p.need.integers = lay_out(kIntegerArrays, p.integer_arrays, nn, nl, nc);
  lay_out(kRealArrays, p.real_arrays, nn, nl, nc);
  p.need.reals = closed_form_reals(nn, nl, nc);
  return p;
}

DenseNeed partition_dense_workspace(int n, int nclin, int ncnln, DenseStoreView store) {
  const DensePartition p = plan_dense_workspace(n, nclin, ncnln);
  for (const DenseArraySpan& s : p.integer_arrays) {
    store.i(s.word) = static_cast<int>(std::min<std::int64_t>(s.start, INT_MAX));
  }
  for (const DenseArraySpan& s : p.real_arrays) {
    store.i(s.word) = static_cast<int>(std::min<std::int64_t>(s.start, INT_MAX));
  }
  return p.need;
}

DenseTail dense_work_tail(int n, int nclin, int ncnln, int lenw) {
  DenseTail t{};
  t.objective = lenw;
  t.constraints = t.objective - std::max(1, ncnln);
  t.point = t.constraints - n;
  t.linear_values = t.point - nclin;
  return t;
}

std::int64_t dense_spare_jacobian_start(int n, int nclin, int ncnln, int lenw) {
  if (n <= 0 || ncnln <= 0) return 0;
  const DensePartition p = plan_dense_workspace(n, nclin, ncnln);
  const DenseArraySpan& last = p.real_arrays[std::size(p.real_arrays) - 1];
  const std::int64_t start = last.start + last.length;
  const std::int64_t words = static_cast<std::int64_t>(n) * ncnln;
  const DenseTail tail = dense_work_tail(n, nclin, ncnln, lenw);
  return start + words <= tail.linear_values ? start : 0;
}

DenseWorkspaceNeed dense_workspace_need(int n, int nclin, int ncnln) {
  return plan_dense_workspace(n, nclin, ncnln).need;
}

}  // namespace zun
