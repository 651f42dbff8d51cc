// Problem-data auxiliary.
#include "library/sparse_sqp/jacobian_auxiliary.h"

#include <algorithm>
#include <array>

#include "library/sparse_qp/sparse_multiply.h"
#include "library/sparse_sqp/run_arrays.h"
#include "library/support/one_based.h"
#include "library/support/random.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace ws = sparse_ws::integer_word;

constexpr int kFakeGenerator = 1;
constexpr int kFakeSubId = 1;
constexpr int kFakeSeed = 123456;
constexpr int kFakeStateLength = 17;
constexpr std::string_view kRoutine = "SPAUXU";
constexpr int kMessageLength = 200;

// Calls VISIT(k, position) for the k-th (0-based) nonlinear element of the matrix.
template <class Visit>
void walk_block(const ProblemMatrix& a, int ncnln, int njnln, Visit visit) {
  std::int64_t k = 0;
  for (int j = 1; j <= njnln; ++j) {
    for (std::int64_t p = a.first(j); p < a.last(j) && a.ha[p] <= ncnln; ++p) visit(k++, p);
  }
}

void assemble_pointers(const ProblemMatrix& a, const JacobianArrays& j) {
  j.pointers[0] = 1;
  for (int c = 1; c <= j.njnln; ++c) {
    int count = 0;
    for (std::int64_t p = a.first(c); p < a.last(c) && a.ha[p] <= j.ncnln; ++p) ++count;
    j.pointers[c] = j.pointers[c - 1] + count;
  }
}

void load_constants(const ProblemMatrix& a, const JacobianArrays& j) {
  walk_block(a, j.ncnln, j.njnln, [&](std::int64_t k, std::int64_t p) {
    j.gcon[k] = a.a[p];
    j.second[k] = a.a[p];
  });
  if (j.derivative_level > 1) std::copy(j.gcon, j.gcon + j.ng, j.saved);
}

void fake(ProblemMatrix& a, const JacobianArrays& j) {
  std::array<int, kFakeStateLength> state{};
  int length = kFakeStateLength;
  char message[kMessageLength];
  int ierr = 0;
  const int seeds[1] = {kFakeSeed};
  seed_generator(kFakeGenerator, kFakeSubId, seeds, 1, state.data(), length, kRoutine.data(),
                 message, ierr, static_cast<int>(kRoutine.size()), kMessageLength);
  uniform_in_range(j.ng, 0.0, 1.0, state.data(), j.second, length, kRoutine.data(), message, ierr,
                   static_cast<int>(kRoutine.size()), kMessageLength);
  walk_block(a, j.ncnln, j.njnln, [&](std::int64_t k, std::int64_t p) { a.a[p] = j.second[k]; });
}

void restore_constants(const JacobianArrays& j) {
  if (j.derivative_level <= 1) return;
  std::copy(j.saved, j.saved + j.ng, j.gcon);
  std::copy(j.saved, j.saved + j.ng, j.second);
}

}  // namespace

int jacobian_auxiliary(std::string_view mode, ProblemMatrix& a, const JacobianArrays& j) {
  switch (mode.empty() ? ' ' : mode[0]) {
    case 'A':
      assemble_pointers(a, j);
      break;
    case 'L':
      load_constants(a, j);
      break;
    case 'F':
      fake(a, j);
      break;
    case 'R':
      restore_constants(j);
      break;
    default:
      break;
  }
  return 0;
}

JacobianArrays jacobian_arrays(int* iz, double* z) {
  Words<int> i(iz);
  Words<double> r(z);
  JacobianArrays j;
  j.ng = i(ws::kJacobianCount);
  j.ncnln = i(ws::kNonlinearConstraints);
  j.njnln = i(ws::kNonlinearJacobianVars);
  j.derivative_level = i(iw::kDerivativeLevel);
  j.gcon = r.at(i(run_array::kJacobian));
  j.saved = r.at(i(run_array::kSavedJacobian));
  j.second = r.at(i(run_array::kSecondJacobian));
  j.pointers = i.at(i(run_array::kJacobianPointers));
  return j;
}

int call_jacobian_auxiliary(std::string_view mode, ProblemMatrix& a, int* iz, double* z) {
  return jacobian_auxiliary(mode, a, jacobian_arrays(iz, z));
}

void copy_jacobian_values(ProblemMatrix& a, const JacobianArrays& j) {
  for (int c = 1; c <= j.njnln; ++c) {
    std::int64_t k = j.pointers[c - 1] - 1;
    for (std::int64_t p = a.first(c); p < a.last(c) && a.ha[p] <= j.ncnln; ++p) {
      a.a[p] = j.gcon[k++];
    }
  }
}

void load_nonlinear_rows(ProblemMatrix& a,
                         const JacobianArrays& j,
                         const double* fcon,
                         const double* xv,
                         double tolerance,
                         double* linear_part) {
  copy_jacobian_values(a, j);
  std::copy(fcon, fcon + j.ncnln, linear_part);
  const double one = 1.0;
  const double minus_one = -1.0;
  sparse_multiply("No transpose", tolerance, a.m, a.n, a.a, a.ha, a.ka, one, xv, j.njnln, minus_one,
                  linear_part, j.ncnln, 12);
}

}  // namespace zun
