// Messages of the sparse LU factorisation and of the column replacement.
#include "library/sparse_lu/lu_report.h"

#include <string>

#include "library/platform/format.h"
#include "library/sparse_lu/sparse_lu.h"
#include "library/support/output.h"

namespace zun::lu {
namespace {

namespace iw = lu_integer_words;
namespace rw = lu_real_words;
using platform::Record;

void put(Array1<int> luparm, const Record& record) {
  const std::string text = record.str();
  write_line(luparm[iw::kPrintUnit], text.data(), static_cast<int>(text.size()));
}

bool messages_on(Array1<int> luparm) { return luparm[iw::kPrintLevel] >= 0; }

void report_singular(Array1<int> luparm, Array1<double> parmlu, int n) {
  const int nrank = luparm[iw::kRank];
  put(luparm, Record().text(" PRUNEK  warning.  The matrix appears to be singular."));
  put(luparm, Record().text("     nrank =").i(nrank, 8).text("      rank of U"));
  put(luparm, Record().text(" n - nrank =").i(n - nrank, 8).text("      rank deficiency"));
  put(luparm,
      Record().text("     nsing =").i(luparm[iw::kNumSingular], 8).text("      singularities"));
  put(luparm, Record()
                  .text("     jsing =")
                  .i(luparm[iw::kLastSingular], 8)
                  .text("      last singular column"));
  put(luparm, Record()
                  .text("     dumax =")
                  .e(parmlu[rw::kDiagUmax], 12, 2)
                  .text("  largest  triangular diag"));
  put(luparm, Record()
                  .text("     dumin =")
                  .e(parmlu[rw::kDiagUmin], 12, 2)
                  .text("  smallest triangular diag"));
}

void report_entry(Array1<int> luparm, const BadEntry& bad, const char* what) {
  put(luparm, Record(120)
                  .text(" PRUNEN  error...  entry  a(")
                  .i(bad.position, 8)
                  .text(")  has ")
                  .text(what));
  put(luparm, Record().text(" indc, indr =").i(bad.row, 8).i(bad.column, 8));
}

}  // namespace

void report_compression(Array1<int> luparm, int old_end, int new_end) {
  put(luparm,
      Record().text(" PRUNEL.   File compressed from").i(old_end, 10).text("   to").i(new_end, 10));
}

void report_pivot(Array1<int> luparm, int nrowu, int ibest, int jbest, int len_l, int len_u) {
  put(luparm, Record()
                  .text(" nrowu")
                  .i(nrowu, 8)
                  .text("   i")
                  .i(ibest, 8)
                  .text("   j")
                  .i(jbest, 8)
                  .text("   lenL")
                  .i(len_l, 10)
                  .text("   lenU")
                  .i(len_u, 10));
}

void report_factorization(
    Array1<int> luparm, Array1<double> parmlu, int n, int lena, const BadEntry& bad) {
  if (!messages_on(luparm)) return;
  switch (luparm[iw::kInform]) {
    case lu_inform::kSingular:
      report_singular(luparm, parmlu, n);
      break;
    case lu_inform::kBadIndex:
      report_entry(luparm, bad, "an illegal row or column index");
      break;
    case lu_inform::kDuplicate:
      report_entry(luparm, bad, "the same indices as an earlier entry");
      break;
    case lu_inform::kNoStorage:
      put(luparm, Record().text(" PRUNEN  error...  insufficient storage"));
      put(luparm, Record()
                      .text(" Increase  lena  from")
                      .i(lena, 10)
                      .text("  to at least")
                      .i(luparm[iw::kMinLength], 10));
      break;
    case lu_inform::kInternalError:
      put(luparm,
          Record().text(" PRUNEN  error...  fatal bug   (sorry --- this should never happen)"));
      break;
    default:
      break;
  }
}

void report_replacement(
    Array1<int> luparm, int m, int n, int jrep, double diag, int lena, bool rank_was_full) {
  if (!messages_on(luparm)) return;
  switch (luparm[iw::kInform]) {
    case lu_inform::kRankFell:
      if (!rank_was_full) break;
      put(luparm, Record().text(" PRUNEP  warning.  Singularity after replacing column."));
      put(luparm, Record().text(" jrep =").i(jrep, 8).text("    diag =").e(diag, 12, 2));
      break;
    case lu_inform::kNoStorage:
      put(luparm, Record().text(" PRUNEP  error...  Insufficient storage.    lena =").i(lena, 10));
      break;
    case lu_inform::kInternalError:
      put(luparm, Record().text(" PRUNEP  error...  jrep  is out of range."));
      put(luparm,
          Record().text(" m =").i(m, 8).text("    n =").i(n, 8).text("    jrep =").i(jrep, 8));
      break;
    default:
      break;
  }
}

}  // namespace zun::lu
