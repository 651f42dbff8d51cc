// The public entries of the sparse solver: the option setter SPKEYF and the solver SPNLPF.
#include <algorithm>
#include <cstring>
#include <string>

#include "library/sparse_sqp/option_reader.h"
#include "library/sparse_sqp/solve_top_level.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/sparse_sqp/sparse_problem.h"
#include "library/sparse_sqp/sparse_sqp.h"
#include "library/support/option_store.h"
#include "library/support/option_words.h"

namespace zun {
namespace {

constexpr char kSolverCode[] = "SPNLPF";
constexpr char kSetterCode[] = "SPKEYF";
constexpr int kCodeLength = 6;
constexpr int kPrintLevelScanLength = 200;
constexpr int kForcedPrintLevel = 10;

// Sets the store up under the routine code SPNLPF, silently.
void set_up_store(SparseOptionStore& store, const char* caller) {
  char text_word[kOptionTextLength];
  char msg[kDiagnosticLength];
  int ifail = 1;
  const auto& sizes = SparseOptionStore::kSizes;
  init_option_store(caller, kSolverCode, text_word, sizes.text, store.logical, sizes.logical,
                    store.integer, sizes.integer, store.real, sizes.real, msg, ifail, kCodeLength,
                    kCodeLength, kOptionTextLength, kDiagnosticLength);
}

// Whether the first 200 characters of LINE mention both PRINT and LEVEL (any case).
bool mentions_print_level(const char* line, int line_len) {
  std::string text(kPrintLevelScanLength, ' ');
  text.replace(0, std::clamp(line_len, 0, kPrintLevelScanLength), line,
               std::clamp(line_len, 0, kPrintLevelScanLength));
  to_upper_case(text.data(), kPrintLevelScanLength);
  return text.find("PRINT") != std::string::npos && text.find("LEVEL") != std::string::npos;
}

}  // namespace

void SPKEYF(const char* line, int line_len) {
  SparseOptionStore& store = sparse_option_store();
  const bool first = take_first_call_flag();
  if (first) set_up_store(store, kSetterCode);
  int inform = 0;
  process_option_line(line, line_len, true, store.logical, store.integer, store.real, kSetterCode,
                      inform);
  if (first && !mentions_print_level(line, line_len)) {
    store.integer[sparse_option::integer_word::kMajorPrintLevel - 1] = kForcedPrintLevel;
  }
}

void SPNLPF(ConstraintRoutine confun,
            ObjectiveRoutine objfun,
            const int& n,
            const int& m,
            const int& ncnln,
            const int& nonln,
            const int& njnln,
            const int& iobj,
            const int& nnz,
            const double* aval,
            const int* ha,
            const int* ka,
            const double* bl,
            const double* bu,
            const char* start,
            const int& nname,
            const char* namev,
            int& nsb,
            double* xv,
            int* istate,
            double* mult,
            int& neediz,
            int& needz,
            int& ninfs,
            double& suminf,
            double& objv,
            int* iz,
            const int& leniz,
            double* z,
            const int& lenz,
            int* iusr,
            double* rusr,
            int& ifail,
            int start_len,
            int namev_len) {
  SparseOptionStore& store = sparse_option_store();
  if (take_first_call_flag()) {
    set_up_store(store, kSolverCode);
    const char line[] = "Print level = 10";
    int inform = 0;
    process_option_line(line, static_cast<int>(std::strlen(line)), false, store.logical,
                        store.integer, store.real, kSetterCode, inform);
  }
  SparseProblem p;
  p.confun = confun;
  p.objfun = objfun;
  p.n = n;
  p.m = m;
  p.ncnln = ncnln;
  p.nonln = nonln;
  p.njnln = njnln;
  p.iobj = iobj;
  p.nnz = nnz;
  p.aval = aval;
  p.ha = ha;
  p.ka = ka;
  p.bl = bl;
  p.bu = bu;
  p.start = start_len >= 1 ? start[0] : ' ';
  p.nname = nname;
  p.namev = namev;
  p.namev_len = namev_len;
  p.nsb = &nsb;
  p.xv = xv;
  p.istate = istate;
  p.mult = mult;
  p.neediz = &neediz;
  p.needz = &needz;
  p.ninfs = &ninfs;
  p.suminf = &suminf;
  p.objv = &objv;
  p.iz = iz;
  p.leniz = leniz;
  p.z = z;
  p.lenz = lenz;
  p.iusr = iusr;
  p.rusr = rusr;
  solve_sparse_nlp(p, store, ifail);
}

}  // namespace zun
