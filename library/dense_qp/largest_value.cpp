// The largest-value routine, its argument report GRAVMZ and the name/value table.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/kit_internal.h"
#include "library/platform/format.h"
#include "library/platform/units.h"
#include "library/support/output.h"

namespace zun {

namespace {

// The stride argument's number in the argument report of BLAS_DMAX_VAL.
constexpr int kStrideArgument = 3;
constexpr int kReportWidth = 132;

constexpr int kNameValueCapacity = 20;
constexpr int kNameValueLength = 80;
constexpr int kSetOperation = 1;

using TableText = std::array<char, kNameValueLength>;

// The private name/value table; nothing in the system stores into it.
struct NameValueTable {
  std::array<TableText, kNameValueCapacity> names{};
  std::array<TableText, kNameValueCapacity> values{};
  int count = 0;
};

NameValueTable& name_value_table() {
  static NameValueTable table;
  return table;
}

// text(1..len) cut or blank-padded to the table's length.
TableText to_table_text(const char* text, int len) {
  TableText out;
  out.fill(' ');
  const int used = std::clamp(len, 0, kNameValueLength);
  if (used > 0) std::memcpy(out.data(), text, static_cast<std::size_t>(used));
  return out;
}

std::string_view trim_right(const char* text, int len) {
  std::string_view s(text, static_cast<std::size_t>(std::max(len, 0)));
  const auto last = s.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

// An integer with one blank before it.
int field_width(int value) { return static_cast<int>(std::to_string(value).size()) + 1; }

// The argument report goes to standard output through the line writer.
void write_report_line(const platform::Record& record) {
  const std::string line = record.str();
  write_line(platform::kStandardOutputUnit, line.data(), static_cast<int>(line.size()));
}

}  // namespace

void BLAS_DMAX_VAL(const int& n, const double* x, const int& incx, int& k, double& r) {
  k = 0;
  r = 0.0;
  if (incx == 0) {
    constexpr std::string_view kName = "GRAVHF/BLAS_DMAX_VAL";
    GRAVMZ(kName.data(), -kStrideArgument, incx, static_cast<int>(kName.size()));
  }
  if (n < 1) return;
  const dense_kit::Strided<const double> xs(x, n, incx);
  int best = 1;
  for (int i = 2; i <= n; ++i) {
    if (xs(i) > xs(best)) best = i;
  }
  k = static_cast<int>(xs.position(best));
  r = xs(best);
}

void find_max_value(const int& n, const double* x, const int& incx, int& k, double& r) {
  BLAS_DMAX_VAL(n, x, incx, k, r);
}

void GRAVMZ(const char* srname, const int& info, const int& value, int srname_len) {
  const std::string_view name = trim_right(srname, srname_len);
  if (info < 0) {
    platform::Record entry(kReportWidth);
    entry.text("** On entry to ")
        .text(name)
        .text(", parameter number")
        .i(-info, field_width(-info));
    write_report_line(entry);
    platform::Record illegal(kReportWidth);
    illegal.text("** had the illegal value of").i(value, field_width(value));
    write_report_line(illegal);
  } else {
    platform::Record unknown(kReportWidth);
    unknown.text("** Unknown error code")
        .i(info, field_width(info))
        .text(" raised by routine ")
        .text(name);
    write_report_line(unknown);
  }
  platform::stop_run();
}

void access_name_table(
    const int& operation, const char* name, char* value, int name_len, int value_len) {
  NameValueTable& table = name_value_table();
  const TableText key = to_table_text(name, name_len);
  int found = -1;
  for (int i = 0; i < table.count; ++i) {
    if (table.names[i] == key) found = i;
  }
  if (operation == kSetOperation) {
    const TableText text = to_table_text(value, value_len);
    if (found >= 0) {
      table.values[found] = text;
    } else if (table.count < kNameValueCapacity) {
      table.names[table.count] = key;
      table.values[table.count] = text;
      ++table.count;
    }
    return;
  }
  if (value_len < 1) return;
  std::memset(value, ' ', static_cast<std::size_t>(value_len));
  if (found >= 0) {
    const int used = std::min(value_len, kNameValueLength);
    std::memcpy(value, table.values[found].data(), static_cast<std::size_t>(used));
  }
}

void get_table_value(const char* name, char* value, int name_len, int value_len) {
  constexpr int kGet = 0;
  access_name_table(kGet, name, value, name_len, value_len);
}

void set_table_value(const char* name, const char* value, int name_len, int value_len) {
  access_name_table(kSetOperation, name, const_cast<char*>(value), name_len, value_len);
}

}  // namespace zun
