// The QP iteration log and the QP multipliers.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "library/dense_print/dense_print.h"
#include "library/dense_qp/qp_shared_words.h"
#include "library/platform/format.h"
#include "library/support/one_based.h"
#include "library/support/output.h"

namespace zun {

namespace {

constexpr int kQpRecord = 120;
constexpr int kLineLimit = 50000;
constexpr int kLogLevel = 5;
constexpr int kHeadingLevel = 15;
constexpr int kDetailLevel = 20;

void two_blank_lines(int unit) {
  write_text_line(unit, "");
  write_text_line(unit, "");
}

std::string_view problem_type(const char* prbtyp, int len) {
  return std::string_view(prbtyp, static_cast<std::size_t>(len < 0 ? 0 : (len > 2 ? 2 : len)));
}

// Records of up to five (value E15.6, status I5) pairs after one blank.
void write_value_status(int unit, int count, const double* values, const int* status) {
  for (int first = 0; first < count; first += 5) {
    platform::Record rec(kQpRecord);
    rec.x(1);
    for (int i = first; i < count && i < first + 5; ++i) rec.e(values[i], 15, 6).i(status[i], 5);
    write_text_line(unit, rec.str());
  }
}

// Records of up to five values (E15.6); element i at base[(i-1) * stride].
void write_values(int unit, int count, const double* base, std::int64_t stride) {
  for (int first = 0; first < count; first += 5) {
    platform::Record rec(kQpRecord);
    for (int i = first; i < count && i < first + 5; ++i) rec.e(base[i * stride], 15, 6);
    write_text_line(unit, rec.str());
  }
}

void write_detail_block(int unit,
                        std::string_view type,
                        int n,
                        int nclin,
                        int nactiv,
                        int nfree,
                        int nrank,
                        int ldt,
                        int ldr,
                        const int* istate,
                        const double* x,
                        const double* ax,
                        const double* t,
                        const double* r) {
  write_text_line(unit, "");
  write_text_line(unit, " Values and status of the " + std::string(type) + " constraints");
  write_text_line(unit, " " + std::string(39, '-'));
  write_text_line(unit, "");
  write_text_line(unit, " Variables...");
  write_value_status(unit, n, x, istate);
  write_text_line(unit, "");
  write_text_line(unit, " General linear constraints...");
  write_value_status(unit, nclin, ax, istate + n);
  write_text_line(unit, "");
  write_text_line(unit, " Diagonals of " + std::string(type) + " working set factor T");
  // Row i of T has its diagonal in column nfree + 1 - i.
  if (nactiv > 0) {
    const double* first = t + static_cast<std::int64_t>(nfree - 1) * ldt;
    write_values(unit, nactiv, first, static_cast<std::int64_t>(1) - ldt);
  }
  write_text_line(unit, "");
  write_text_line(unit, " Diagonals of " + std::string(type) + " triangle R         ");
  write_values(unit, nrank, r, static_cast<std::int64_t>(ldr) + 1);
  two_blank_lines(unit);
  write_text_line(unit, " " + std::string(95, '-'));
}

}  // namespace

void write_text_line(int unit, std::string_view text) {
  write_line(unit, text.data(), static_cast<int>(text.size()));
}

const char* status_letters(int status) {
  static const char* const kLetters[] = {"--", "++", "FR", "LL", "UL", "EQ", "TF"};
  if (status < -2 || status > 4) return "  ";
  return kLetters[status + 2];
}

void print_qp_iteration(const char* prbtyp,
                        const Logical& hessian,
                        const int& msglvl,
                        const int* iw,
                        int& lines_monitor,
                        int& lines_print,
                        const int& iter,
                        const int& jdel,
                        const int& jadd,
                        const char* kinds,
                        const double& step,
                        const int& ninf,
                        const double& sinf_or_obj,
                        const int& nbnd,
                        const int& nactiv,
                        const int& nart,
                        const int& nzr,
                        const double& gznorm,
                        const double& cond_t,
                        const double& cond_rz,
                        const int& n,
                        const int& nclin,
                        const int& nfree,
                        const int& nrank,
                        const int& ldt,
                        const int& ldr,
                        const int* istate,
                        const double* x,
                        const double* ax,
                        const double* t,
                        const double* r,
                        int prbtyp_len,
                        int kinds_len) {
  if (msglvl < kLogLevel) return;
  const Words<const int> words(iw);
  const int monitor = words(qp_words::kMonitoringFile);
  const int print = words(qp_words::kPrintFile);
  const std::string_view type = problem_type(prbtyp, prbtyp_len);
  const char del_kind = kinds_len >= 1 && jdel != 0 ? kinds[0] : ' ';
  const char add_kind = kinds_len >= 2 && jadd != 0 ? kinds[1] : ' ';
  const bool with_rz = is_true(hessian);
  if (monitor >= 0) {
    if (msglvl >= kHeadingLevel) {
      two_blank_lines(monitor);
      platform::Record title(kQpRecord);
      title.x(1).a(type, 2).text(" iteration").i(iter, 5).text(" =================");
      write_text_line(monitor, title.str());
    }
    if (iter == 0 || msglvl >= kHeadingLevel || lines_monitor >= kLineLimit) {
      two_blank_lines(monitor);
      std::string head =
          " Itn Jdel  Jadd      Step Ninf  Sinf/Objective  Bnd  Lin  Art   Zr  Norm Gz   Cond T";
      if (with_rz) head += "  Cond Rz";
      write_text_line(monitor, head);
      lines_monitor = 0;
    }
    platform::Record line(kQpRecord);
    line.i(iter % 10000, 4).i(std::abs(jdel), 5).text(std::string(1, del_kind));
    line.i(jadd, 5).text(std::string(1, add_kind)).e(step, 9, 1).i(ninf, 5).e(sinf_or_obj, 16, 8);
    line.i(nbnd, 5).i(nactiv, 5).i(nart, 5).i(nzr % 10000, 5).e(gznorm, 9, 1).e(cond_t, 9, 1);
    if (with_rz) line.e(cond_rz, 9, 1);
    write_text_line(monitor, line.str());
    ++lines_monitor;
  }
  if (print >= 0 && print != monitor) {
    if (iter == 0 || lines_print >= kLineLimit) {
      two_blank_lines(print);
      write_text_line(print, " Itn     Step Ninf Sinf/Objective  Norm Gz");
      lines_print = 0;
    }
    platform::Record line(kQpRecord);
    line.i(iter % 10000, 4).e(step, 9, 1).i(ninf, 5).e(sinf_or_obj, 15, 6).e(gznorm, 9, 1);
    write_text_line(print, line.str());
    ++lines_print;
  }
  if (msglvl >= kDetailLevel && monitor >= 0) {
    write_detail_block(monitor, type, n, nclin, nactiv, nfree, nrank, ldt, ldr, istate, x, ax, t,
                       r);
  }
}

void print_qp_multipliers(const char* prbtyp,
                          const int& msglvl,
                          const int* iw,
                          const int& n,
                          const int& nactiv,
                          const int& nfree,
                          const int& nz,
                          const int& nzr,
                          const int* kactiv,
                          const int* kx,
                          const double* clamda,
                          const double* gq,
                          const int& jdel,
                          int prbtyp_len) {
  if (msglvl < kDetailLevel) return;
  const int monitor = Words<const int>(iw)(qp_words::kMonitoringFile);
  if (monitor < 0) return;
  const std::string type(problem_type(prbtyp, prbtyp_len));
  // Pairs of (shown index, multiplier of constraint j); base is added to the shown index.
  auto pairs = [&](int count, int base, auto constraint_of) {
    for (int first = 1; first <= count; first += 4) {
      platform::Record rec(kQpRecord);
      for (int i = first; i <= count && i < first + 4; ++i) {
        const int j = constraint_of(i);
        rec.i(j - base, 5).e(clamda[j - 1], 11, 2);
      }
      write_text_line(monitor, rec.str());
    }
  };
  write_text_line(monitor, "");
  write_text_line(monitor, " Multipliers for the " + type + " linear constraints   ");
  pairs(nactiv, n, [&](int i) { return n + kactiv[i - 1]; });
  write_text_line(monitor, "");
  write_text_line(monitor, " Multipliers for the " + type + " bound  constraints   ");
  pairs(n - nfree, 0, [&](int i) { return kx[nfree + i - 1]; });
  write_text_line(monitor, "");
  write_text_line(monitor, " Multipliers for the artificial constraints        ");
  const int nart = nz - nzr;
  for (int first = 1; first <= nart; first += 4) {
    platform::Record rec(kQpRecord);
    for (int i = first; i <= nart && i < first + 4; ++i) {
      rec.x(5).e(-std::fabs(gq[nzr + i - 1]), 11, 2);
    }
    write_text_line(monitor, rec.str());
  }
  if (jdel == 0) return;
  platform::Record rec(kQpRecord);
  if (jdel > 0) {
    rec.text(" Constraint").i(jdel, 5).text(" leaves the working set.");
  } else {
    rec.text(" Artificial constraint").i(-jdel, 5).text(" leaves the working set.");
  }
  write_text_line(monitor, "");
  write_text_line(monitor, rec.str());
}

}  // namespace zun
