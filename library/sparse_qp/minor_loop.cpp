// What the two minor-iteration loops share.
#include "library/sparse_qp/minor_loop.h"

#include <string>

#include "library/platform/format.h"
#include "library/sparse_qp/qp_workspace.h"
#include "library/sparse_sqp/sparse_option_words.h"

namespace zun::qp {
namespace {

namespace iw = sparse_option::integer_word;
namespace mi = minor_word::integer_word;
namespace ws = sparse_ws::integer_word;

constexpr int kGrowthUpdates = 20;  // updates before the growth of the LU factors is tested

}  // namespace

void report_infeasible_count(const int* iz, int itn, int print_level, int count) {
  if (count <= 0 || iz[mi::kIterationsSinceFactor - 1] != 0 || !messages_on(print_level)) return;
  const std::string number = platform::format_i(count, 7);
  write_both(units(iz), itn, "No. of infeasible non-elastic variables = " + number,
             "No. of Infeasible non-elastic variables = " + number);
}

void report_elastic_start(const int* iz, int itn, int print_level, std::string_view label) {
  if (!messages_on(print_level)) return;
  const Units u = units(iz);
  write_both(u, itn, "Infeasible " + std::string(label));
  write_both(u, itn, "Elastic Phase 1 : making non-elastic variables feasible.");
}

bool residuals_pass(int itn,
                    int m,
                    int n,
                    int nbs,
                    const ColumnMatrix& a,
                    const BasisArrays& basis,
                    int* iz,
                    double* z,
                    int print_level) {
  int flag = 0;
  double resid = 0.0;
  double xnorm = 0.0;
  recompute_basics("Check residuals", flag, itn, m, n, nbs, resid, xnorm, a,
                   iz[ws::kNonlinearConstraints - 1], real_array(iz, z, ra::kRowConstants),
                   basis.x, basis.xbs, basis.bs_index, iz, z, print_level);
  return flag == 0;
}

int refactor_reason_after_step(int itn,
                               int m,
                               int n,
                               int nbs,
                               double lu_reference,
                               bool reset_basics,
                               const ColumnMatrix& a,
                               const BasisArrays& basis,
                               int* iz,
                               double* z,
                               int print_level) {
  const int changes = iz[mi::kBasisChangesSinceFactor - 1];
  const double length = static_cast<double>(iz[mi::kLuLenL - 1]) + iz[mi::kLuLenU - 1];
  if (changes >= iz[iw::kFactorizationFrequency - 1] - 1) return RefactorReason::kUpdateCount;
  if (changes >= kGrowthUpdates && length > 2.0 * lu_reference) {
    const Units u = units(iz);
    if (messages_on(print_level) && u.monitor >= 0 && lu_reference > 0.0) {
      write_record(u.monitor, " XXX LU file has increased by a factor of" +
                                  platform::format_f(length / lu_reference, 6, 1));
    }
    return RefactorReason::kLuGrowth;
  }
  const int frequency = iz[iw::kCheckFrequency - 1];
  if (frequency > 0 && iz[mi::kIterationsSinceFactor - 1] % frequency == 0 && !reset_basics &&
      !residuals_pass(itn, m, n, nbs, a, basis, iz, z, print_level)) {
    return RefactorReason::kRowResiduals;
  }
  return RefactorReason::kNone;
}

MinorLogLine log_line_base(std::string_view kind,
                           std::string_view label,
                           bool elastic,
                           int print_level,
                           int itn,
                           int section,
                           double djq,
                           const int* iz) {
  MinorLogLine line;
  line.kind = kind;
  line.label = label;
  line.elastic = elastic;
  line.print_level = print_level;
  line.itn = itn;
  line.section = section;
  line.djq = djq;
  line.len_l = iz[mi::kLuLenL - 1];
  line.len_u = iz[mi::kLuLenU - 1];
  line.compressions = iz[mi::kLuCompressions - 1];
  return line;
}

}  // namespace zun::qp
