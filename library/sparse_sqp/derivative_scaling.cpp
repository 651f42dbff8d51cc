// Scaling of user-supplied derivatives.
#include "library/sparse_sqp/derivative_scaling.h"

#include <cstdint>

#include "library/support/one_based.h"
#include "library/sparse_sqp/workspace_words.h"

namespace zun {

namespace {
namespace ws = sparse_ws::integer_word;
namespace rw = sparse_option::real_word;
}  // namespace

void scale_jacobian(int ncnln,
                    int njnln,
                    int n,
                    const double* s,
                    const int* ha,
                    const int* ka,
                    double* gcon,
                    const int* iz,
                    const double* z) {
  if (Words<const int>(iz)(ws::kJacobianSupplied) < 1 || njnln < 1) return;
  const double not_supplied = Words<const double>(z)(rw::kNotSupplied);
  Words<const double> scale(s);
  Words<const int> row(ha);
  Words<const int> start(ka);
  std::int64_t k = 0;
  for (int j = 1; j <= njnln; ++j) {
    for (std::int64_t e = start(j); e < start(j + 1) && row(e) <= ncnln; ++e) {
      double& g = gcon[k++];
      if (g != not_supplied) g = g * scale(j) / scale(std::int64_t{n} + row(e));
    }
  }
}

void scale_gradient(int nonln, const double* s, double* gobj, const int* iz, const double* z) {
  if (Words<const int>(iz)(ws::kObjGradientSupplied) <= 0 || nonln <= 0) return;
  const double not_supplied = Words<const double>(z)(rw::kNotSupplied);
  for (int j = 0; j < nonln; ++j) {
    if (gobj[j] != not_supplied) gobj[j] *= s[j];
  }
}

}  // namespace zun
