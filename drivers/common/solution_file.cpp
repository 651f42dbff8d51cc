// The .sol file that ends a solve.
#include "drivers/common/solution_file.h"

#include <algorithm>
#include <cmath>

#include "asl.h"
#include "drivers/common/asl_record.h"

namespace zun_driver {

bool all_finite(const double* v, int n) {
  return std::all_of(v, v + std::max(n, 0), [](double value) { return std::isfinite(value); });
}

void write_solution_file(const char* message, double* x, double* y, Option_Info* info) {
  // The ASL's binary .sol writer and reader disagree on the empty record of row values: a
  // problem without rows is answered in text, which the reader always takes.
  if (n_con == 0) binary_nl = 0;
  write_sol(message, all_finite(x, n_var) ? x : nullptr, all_finite(y, n_con) ? y : nullptr,
            info);
}

}  // namespace zun_driver
