// The final solution table and the predicted status of the constraints.
#include <cmath>
#include <cstdint>
#include <string>

#include "library/dense_print/dense_print.h"
#include "library/dense_qp/qp_shared_words.h"
#include "library/platform/format.h"
#include "library/support/one_based.h"
#include "library/support/output.h"

namespace zun {

namespace {

constexpr int kTableRecord = 80;

// Column positions (0-based) and widths of the table's numbers.
constexpr int kLowerColumn = 27;
constexpr int kUpperColumn = 41;
constexpr int kMultiplierColumn = 55;
constexpr int kSlackColumn = 67;
constexpr int kSmallWidth = 12;

void overwrite(std::string& line, int column, const std::string& text) {
  line.replace(static_cast<std::size_t>(column), text.size(), text);
}

struct Row {
  char group = 'V';
  int index = 0;
  int status = 0;
  double value = 0.0;
  double lower = 0.0;
  double upper = 0.0;
  double multiplier = 0.0;
  double tol = 0.0;
};

std::string table_line(const Row& row, double bigbnd) {
  const double d_lo = row.value - row.lower;
  const double d_up = row.upper - row.value;
  const bool lower_infinite = row.lower <= -bigbnd;
  const bool upper_infinite = row.upper >= bigbnd;
  double slack = std::fabs(d_lo) < std::fabs(d_up) ? d_lo : d_up;
  if (lower_infinite) slack = d_up;
  if (upper_infinite) slack = d_lo;
  char flag = ' ';
  if (d_lo < -row.tol || d_up < -row.tol) flag = 'I';
  if (row.status == 0 && std::fabs(slack) <= row.tol) flag = 'D';
  if (row.status > 0 && std::fabs(row.multiplier) <= row.tol) flag = 'A';

  platform::Record rec(kTableRecord);
  rec.x(1).text(std::string(1, row.group)).i(row.index, 4).x(2).text(std::string(1, flag)).x(1);
  rec.text(status_letters(row.status)).x(1);
  rec.g1(row.value, 14, 6).g1(row.lower, 14, 6).g1(row.upper, 14, 6);
  rec.g1(row.multiplier, 12, 4).g1(slack, 12, 4);
  std::string line = rec.str();
  const std::string none = std::string(6, ' ') + "None" + std::string(4, ' ');
  const std::string bound_point = std::string(7, ' ') + "." + std::string(6, ' ');
  if (lower_infinite) overwrite(line, kLowerColumn, none);
  if (upper_infinite) overwrite(line, kUpperColumn, none);
  if (row.lower == 0.0) overwrite(line, kLowerColumn, bound_point);
  if (row.upper == 0.0) overwrite(line, kUpperColumn, bound_point);
  if (row.status == 0 || row.multiplier == 0.0) {
    overwrite(line, kMultiplierColumn, std::string(7, ' ') + "." + std::string(4, ' '));
  }
  if (lower_infinite && upper_infinite) {
    overwrite(line, kMultiplierColumn, std::string(2 * kSmallWidth, ' '));
  }
  if (slack == 0.0) overwrite(line, kSlackColumn, std::string(5, ' ') + "." + std::string(6, ' '));
  return line;
}

}  // namespace

void print_solution_table(const int& print_level,
                          const int* iw,
                          const int& n,
                          const int& nclin,
                          const int& ncnln,
                          const double& bigbnd,
                          const int* istate,
                          const double* values,
                          const double* bl,
                          const double* bu,
                          const double* clamda,
                          const double* featol) {
  if (print_level != 1 && print_level < 10) return;
  const int unit = Words<const int>(iw)(qp_words::kPrintFile);
  struct Group {
    const char* label;
    char letter;
    int first;
    int count;
  };
  const Group groups[] = {{"Varbl", 'V', 1, n}, {"L Con", 'L', n + 1, nclin},
                          {"N Con", 'N', n + nclin + 1, ncnln}};
  for (const Group& g : groups) {
    if (g.count < 1) continue;
    write_text_line(unit, "");
    write_text_line(unit, "");
    write_text_line(unit, std::string(" ") + g.label +
                         " State     Value       Lower Bound   Upper Bound    Lagr Mult   Slack");
    write_text_line(unit, "");
    for (int i = 1; i <= g.count; ++i) {
      const int j = g.first + i - 1;
      Row row;
      row.group = g.letter;
      row.index = i;
      row.status = istate[j - 1];
      row.value = values[j - 1];
      row.lower = bl[j - 1];
      row.upper = bu[j - 1];
      row.multiplier = clamda[j - 1];
      row.tol = featol[j - 1];
      write_text_line(unit, table_line(row, bigbnd));
    }
  }
}

void predict_constraint_status(const int& n,
                               const int& nclin,
                               const int& ncnln,
                               const int& lda,
                               const int* istate,
                               const double* a,
                               const double* x,
                               const double* c,
                               const double* bl,
                               const double* bu,
                               const double* featol,
                               double* values,
                               int* predicted) {
  for (int j = 1; j <= n; ++j) values[j - 1] = x[j - 1];
  for (int k = 1; k <= nclin; ++k) {
    double s = 0.0;
    for (int j = 1; j <= n; ++j) s += a[(k - 1) + static_cast<std::int64_t>(j - 1) * lda] * x[j - 1];
    values[n + k - 1] = s;
  }
  for (int k = 1; k <= ncnln; ++k) values[n + nclin + k - 1] = c[k - 1];
  for (int j = 1; j <= n + nclin + ncnln; ++j) {
    const int status = istate[j - 1];
    if (status > 0) {
      predicted[j - 1] = status;
      continue;
    }
    const double v = values[j - 1];
    if (v < bl[j - 1] - featol[j - 1]) {
      predicted[j - 1] = -2;
    } else if (v > bu[j - 1] + featol[j - 1]) {
      predicted[j - 1] = -1;
    } else {
      predicted[j - 1] = 0;
    }
  }
}

}  // namespace zun
