// Printing helper of the dense solver's routines.
#include "library/dense_sqp/dense_run.h"

#include "library/support/output.h"

namespace zun {

void write_record(int unit, std::string_view text) {
  const std::string_view record = text.empty() ? std::string_view(" ") : text;
  write_line(unit, record.data(), static_cast<int>(record.size()));
}

}  // namespace zun
