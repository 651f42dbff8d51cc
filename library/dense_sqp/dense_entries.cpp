// The public entries of the dense solver: the option setter DNKEYF and the solver DNNLPF.
#include <string>

#include "library/dense_sqp/dense_option_reader.h"
#include "library/dense_sqp/dense_sqp.h"
#include "library/dense_sqp/dense_store_words.h"
#include "library/dense_sqp/dense_top_level.h"
#include "library/support/option_store.h"

namespace zun {
namespace {

constexpr char kSolverCode[] = "DNNLPF";
constexpr char kSetterCode[] = "DNKEYF";
constexpr char kSetterRoutine[] = "DNDIRF";
constexpr int kCodeLength = 6;
constexpr int kSetterPrintLevel = 10;
constexpr char kFirstSolveLine[] = "Print level = 10";

// Sets the store up under ROUTINE with TEXT_WORDS text words, silently.
void set_up_store(DenseOptionStore& store, const char* caller, const char* routine, int text_words,
                  char* text) {
  char msg[kDiagnosticLength];
  int ifail = 1;
  const auto& sizes = DenseOptionStore::kSizes;
  init_option_store(caller, routine, text, text_words, store.logical, sizes.logical,
                    store.integer, sizes.integer, store.real, sizes.real, msg, ifail, kCodeLength,
                    kCodeLength, kOptionTextLength, kDiagnosticLength);
}

}  // namespace

void DNKEYF(const char* line, int line_len) {
  DenseOptionStore& store = dense_option_store();
  if (take_first_call_flag()) {
    char local_text[kOptionTextLength];
    set_up_store(store, kSetterCode, kSetterRoutine, 1, local_text);
  }
  DenseStoreView view(store);
  int inform = 0;
  process_dense_option_string(line, line_len, true, kSetterCode, view, inform);
  int& print_level = view.i(dense_words::integer_word::kMajorPrintLevel);
  if (print_level == kUnsetInteger) print_level = kSetterPrintLevel;
}

void DNNLPF(int& irevcm,
            const int& n,
            const int& nclin,
            const int& ncnln,
            const int& lda,
            const int& ldcj,
            const int& ldr,
            const double* a,
            const double* bl,
            const double* bu,
            int& niter,
            int* istate,
            double* c,
            double* jacnl,
            double* mult,
            double& objv,
            double* objg,
            double* r,
            double* x,
            int* needrow,
            int* iwork,
            const int& leniw,
            double* work,
            const int& lenw,
            int& ifail) {
  DenseOptionStore& store = dense_option_store();
  DenseStoreView view(store);
  if (take_first_call_flag()) {
    set_up_store(store, kSolverCode, kSolverCode, DenseOptionStore::kSizes.text, &store.text[0][0]);
    int inform = 0;
    process_dense_option_string(kFirstSolveLine, static_cast<int>(sizeof(kFirstSolveLine) - 1),
                                false, kSetterCode, view, inform);
  }
  DenseProblem p{irevcm,
                 n,
                 nclin,
                 ncnln,
                 lda,
                 ldcj,
                 ldr,
                 ColumnMajorView<const double>(a, lda),
                 Words<const double>(bl),
                 Words<const double>(bu),
                 niter,
                 Words<int>(istate),
                 Words<double>(c),
                 ColumnMajorView<double>(jacnl, ldcj),
                 Words<double>(mult),
                 objv,
                 Words<double>(objg),
                 ColumnMajorView<double>(r, ldr),
                 Words<double>(x),
                 Words<int>(needrow),
                 Words<int>(iwork),
                 leniw,
                 Words<double>(work),
                 lenw,
                 ifail};
  solve_dense_nlp(p, view, kSolverCode);
}

}  // namespace zun
