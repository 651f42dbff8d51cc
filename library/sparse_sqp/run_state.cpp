// The state of one sparse run, and the moves of the whole problem into and out of the scaled
// units.
#include "library/sparse_sqp/run_state.h"

#include <algorithm>

#include "library/sparse_sqp/derivative_scaling.h"
#include "library/sparse_sqp/matrix_statistics.h"
#include "library/sparse_sqp/run_arrays.h"
#include "library/sparse_sqp/scaling.h"
#include "library/support/machine.h"
#include "library/support/one_based.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;

constexpr int kObjectiveScaleWord = run_word::kObjectiveScale;

template <class T>
T* array_at(T* base, const int* iz, int word) {
  return Words<T>(base).at(Words<const int>(iz)(word));
}

ScaledArrays scaled_arrays(RunState& st) {
  ScaledArrays arrays;
  arrays.bl = st.bl.data();
  arrays.bu = st.bu.data();
  arrays.bl_given = st.p.bl;
  arrays.bu_given = st.p.bu;
  arrays.pi = st.pi();
  arrays.x = st.p.xv;
  return arrays;
}

// Inverse of scale_jacobian: each supplied value := value * S(N + row) / S(j).
void unscale_jacobian(const RunState& st, double* g) {
  if (Words<const int>(st.iz)(ws::kJacobianSupplied) < 1) return;
  const double not_supplied = st.real(rw::kNotSupplied);
  const double* s = st.scales();
  std::int64_t k = 0;
  for (int j = 1; j <= st.njnln; ++j) {
    for (std::int64_t e = st.matrix.first(j); e < st.matrix.last(j) && st.p.ha[e] <= st.ncnln;
         ++e) {
      double& v = g[k++];
      if (v != not_supplied) v = v * s[st.n + st.p.ha[e] - 1] / s[j - 1];
    }
  }
}

void scale_nonlinear_part(RunState& st) {
  double* s = st.scales();
  if (st.ncnln >= 1) {
    divide_by_vector(st.ncnln, s + st.n, 1, st.constraint_values(), 1);
    for (int word : {run_array::kJacobian, run_array::kSecondJacobian}) {
      scale_jacobian(st.ncnln, st.njnln, st.n, s, st.p.ha, st.p.ka, array_at(st.z, st.iz, word),
                     st.iz, st.z);
    }
    multiply_by_vector(st.ncnln, s + st.n, 1,
                       array_at(st.z, st.iz, run_array::kNonlinearMultipliers), 1);
  }
  if (st.nonln >= 1) scale_gradient(st.nonln, s, st.objective_gradient(), st.iz, st.z);
  st.nonlinear_scaled = true;
}

void unscale_nonlinear_part(RunState& st) {
  double* s = st.scales();
  if (st.ncnln >= 1) {
    multiply_by_vector(st.ncnln, s + st.n, 1, st.constraint_values(), 1);
    unscale_jacobian(st, array_at(st.z, st.iz, run_array::kJacobian));
    unscale_jacobian(st, array_at(st.z, st.iz, run_array::kSecondJacobian));
    divide_by_vector(st.ncnln, s + st.n, 1, array_at(st.z, st.iz, run_array::kNonlinearMultipliers),
                     1);
  }
  if (st.nonln >= 1 && Words<const int>(st.iz)(ws::kObjGradientSupplied) > 0) {
    const double not_supplied = st.real(rw::kNotSupplied);
    double* g = st.objective_gradient();
    for (int j = 0; j < st.nonln; ++j) {
      if (g[j] != not_supplied) g[j] /= s[j];
    }
  }
  st.nonlinear_scaled = false;
}

}  // namespace

RunState::RunState(SparseRun& r)
    : run(r),
      p(r.problem),
      iz(r.problem.iz),
      z(r.problem.z),
      aval(r.problem.aval, r.problem.aval + r.problem.nnz),
      bl(r.problem.bl, r.problem.bl + r.problem.n + r.problem.m),
      bu(r.problem.bu, r.problem.bu + r.problem.n + r.problem.m) {
  Words<const int> i(iz);
  n = p.n;
  m = p.m;
  nb = n + m;
  ncnln = i(ws::kNonlinearConstraints);
  njnln = i(ws::kNonlinearJacobianVars);
  nonln = i(ws::kNonlinearObjectiveVars);
  nnl = std::max(njnln, nonln);
  matrix = ProblemMatrix{n, m, p.nnz, aval.data(), p.ha, p.ka};
}

double* RunState::scales() const { return array_at(z, iz, run_array::kScales); }
double* RunState::pi() const { return array_at(z, iz, run_array::kRowMultipliers); }
double* RunState::start_point() const { return array_at(z, iz, run_array::kStartPoint); }
double* RunState::constraint_values() const {
  return array_at(z, iz, run_array::kConstraintValues);
}
double* RunState::objective_gradient() const {
  return array_at(z, iz, run_array::kObjectiveGradient);
}
int* RunState::row_types() const { return array_at(iz, iz, run_array::kRowTypes); }
int* RunState::allowance() const { return array_at(iz, iz, run_array::kElasticAllowance); }
int* RunState::bs_index() const { return array_at(iz, iz, run_array::kBsIndex); }

double RunState::linear_objective_value() const {
  double f = objective_constant;
  if (run.objective_row > 0) f += p.xv[n + run.objective_row - 1] * real(kObjectiveScaleWord);
  return f;
}

void scale_problem(RunState& st) {
  ScaleRequest request;
  request.print_level = st.option(iw::kMajorPrintLevel);
  request.nnl = st.nnl;
  request.ncnln = st.ncnln;
  request.njnln = st.njnln;
  request.row_types = st.row_types();
  request.bl = st.bl.data();
  request.bu = st.bu.data();
  std::vector<double> work_min(static_cast<std::size_t>(st.m));
  std::vector<double> work_max(static_cast<std::size_t>(st.m));
  compute_scales(request, st.matrix, st.scales(), work_min.data(), work_max.data(), st.iz, st.z);
  apply_scales("Scale", st.run.objective_row, st.real(rw::kInfiniteBoundSize),
               Words<double>(st.z)(kObjectiveScaleWord), st.matrix, st.scales(), scaled_arrays(st));
  st.scaled = true;
}

void rescale_problem(RunState& st) {
  if (st.option(iw::kScaleOption) < 1) return;
  print_matrix_statistics("Define row types", st.matrix, st.bl.data(), st.bu.data(), st.row_types(),
                          st.iz, st.z);
  scale_problem(st);
  scale_nonlinear_part(st);
}

void unscale_problem(RunState& st) {
  if (!st.scaled) return;
  apply_scales("Unscale", st.run.objective_row, st.real(rw::kInfiniteBoundSize),
               Words<double>(st.z)(kObjectiveScaleWord), st.matrix, st.scales(), scaled_arrays(st));
  if (st.nonlinear_scaled) unscale_nonlinear_part(st);
  st.scaled = false;
}

}  // namespace zun
