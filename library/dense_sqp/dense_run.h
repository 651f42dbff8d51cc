// The working view of one dense solve: the caller's arguments, the option store and typed
// access to the solver's arrays inside WORK and IWORK at the starts the partition stored.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "library/dense_sqp/dense_problem.h"
#include "library/dense_sqp/dense_store.h"
#include "library/dense_sqp/dense_store_words.h"
#include "library/dense_sqp/dense_workspace.h"

namespace zun {

// Writes one printed record on UNIT; an empty text is a blank record.
void write_record(int unit, std::string_view text);

struct DenseRun {
  DenseProblem& p;
  DenseStoreView s;
  DenseTail tail;

  DenseRun(DenseProblem& problem, DenseStoreView store)
      : p(problem), s(store), tail(dense_work_tail(p.n, p.nclin, p.ncnln, p.lenw)) {}

  // The real array whose start is held in store word WORD, 1-based.
  Words<double> array(int word) const { return Words<double>(p.work.at(s.i(word))); }
  Words<int> integer_array(int word) const { return Words<int>(p.iwork.at(s.i(word))); }

  // The current point, the nonlinear constraint values and the objective value (tail).
  double& x(int j) const { return p.work(tail.point + j - 1); }
  double& c(int k) const { return p.work(tail.constraints + k - 1); }
  double& f() const { return p.work(tail.objective); }
  // The solver's copies of the objective gradient and the Jacobian.
  double& g(int j) const { return array(dense_array::kGradient)(j); }
  ColumnMajorView<double> jac() const {
    return ColumnMajorView<double>(p.work.at(s.i(dense_array::kJacobian)),
                                   std::max(1, p.ncnln));
  }
  int level() const { return s.i(dense_words::integer_word::kDerivativeLevel); }
  int major_print() const { return s.i(dense_words::integer_word::kMajorPrintLevel); }
  int print_file() const { return s.i(dense_words::integer_word::kPrintFile); }

  // X := the current point, the point at which the next request is evaluated.
  void publish_point() const {
    for (int j = 1; j <= p.n; ++j) p.x(j) = x(j);
  }
};

}  // namespace zun
