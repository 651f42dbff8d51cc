// The driver's keyword table and the option lines sent to the sparse solver.
#include "drivers/spnlp/keywords.h"

#include <string>
#include <vector>

#include "drivers/common/option_info.h"
#include "drivers/common/option_lines.h"
#include "getstub.h"

namespace spnlp {
namespace {

SparseKeywordValues g_values;

char* text(const char* s) { return const_cast<char*>(s); }

// Sorted by name: the ASL finds keywords by binary search.
keyword g_keywords[] = {
    {text("feasibility"), D_val, &g_values.feasibility,
     text("Major Feasibility Tolerance (default sqrt(eps))")},
    {text("hupdates"), I_val, &g_values.hupdates, text("Hessian Updates (default 20 or Inf)")},
    {text("maxit"), I_val, &g_values.maxit, text("Major Iteration Limit (default 1000)")},
    {text("minfeas"), D_val, &g_values.minfeas,
     text("Minor Feasibility Tolerance (default sqrt(eps))")},
    {text("minit"), I_val, &g_values.minit, text("Minor Iteration Limit (default 500)")},
    {text("minittotal"), I_val, &g_values.minittotal,
     text("Iteration Limit - summed minor iterations (default 10000)")},
    {text("minprint"), I_val, &g_values.minprint, text("Minor Print Level (default 0)")},
    {text("optimality"), D_val, &g_values.optimality,
     text("Optimality Tolerance (default sqrt(eps))")},
    {text("precision"), D_val, &g_values.precision, text("Function Precision (default eps^0.8)")},
    {text("print"), I_val, &g_values.print, text("Print Level (default 5)")},
    {text("superbasics"), I_val, &g_values.superbasics,
     text("Superbasics Limit (default min(500,n+1))")},
};

constexpr zun_driver::DriverNames kNames{
    .solver = "SPNLP",
    .banner = "SPNLP, ZUN Fortran Library Plen 22",
    .option_variable = "spnlp_options",
    .version = "SPNLP, ZUN Fortran Library Plen 22, AMPL interface 0.9",
    .program = "spnlp",
    .invoked_solver = "SPNLPF",
};

zun_driver::DriverOptionRecord g_record(kNames, g_keywords);

}  // namespace

SparseKeywordValues& keyword_values() { return g_values; }

Option_Info& driver_option_info() { return g_record.info(); }

const char* banner_name() { return kNames.banner; }

std::vector<std::string> solver_option_lines(const SparseKeywordValues& v) {
  using zun_driver::add_integer_line;
  using zun_driver::add_real_line;
  std::vector<std::string> lines{zun_driver::verify_level_line()};
  add_real_line(lines, "Major Feasibility Tolerance = %e ", v.feasibility);
  add_real_line(lines, "Minor Feasibility Tolerance = %e ", v.minfeas);
  add_real_line(lines, "Function Precision = %e ", v.precision);
  add_real_line(lines, "Optimality Tolerance = %e ", v.optimality);
  add_integer_line(lines, "Major Iteration Limit = %i ", v.maxit);
  add_integer_line(lines, "Minor Iteration Limit = %i ", v.minit);
  add_integer_line(lines, "Iteration Limit = %i ", v.minittotal);
  add_integer_line(lines, "Print Level = %i ", v.print);
  add_integer_line(lines, "Minor Print Level = %i ", v.minprint);
  add_integer_line(lines, "Superbasics Limit = %i ", v.superbasics);
  add_integer_line(lines, "Hessian Updates = %i ", v.hupdates);
  return lines;
}

}  // namespace spnlp
