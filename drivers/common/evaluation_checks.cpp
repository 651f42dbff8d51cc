// What both drivers ask of a value or derivative that the ASL hands back.
#include "drivers/common/evaluation_checks.h"

#include <algorithm>
#include <cmath>

#include "asl.h"
#include "drivers/common/asl_record.h"

namespace zun_driver {

bool all_finite(const double* v, std::size_t count) {
  return std::all_of(v, v + count, [](double e) { return std::isfinite(e); });
}

std::size_t jacobian_list_length(int row) {
  std::size_t count = 0;
  for (const cgrad* e = Cgrad[row]; e != nullptr; e = e->next) ++count;
  return count;
}

}  // namespace zun_driver
