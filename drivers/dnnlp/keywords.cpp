// The dnnlp driver's keyword table, option lines and solve messages.
#include "drivers/dnnlp/keywords.h"

#include "drivers/common/option_info.h"
#include "drivers/common/option_lines.h"
#include "drivers/common/solve_message.h"
#include "getstub.h"

namespace dnnlp {
namespace {

DenseKeywordValues g_values;

char* text(const char* s) { return const_cast<char*>(s); }

// Sorted by name: the ASL finds keywords by binary search.
keyword g_keywords[] = {
    {text("feasibility"), D_val, &g_values.feasibility,
     text("Feasibility Tolerance (default sqrt(eps))")},
    {text("maxit"), I_val, &g_values.maxit, text("Major Iteration Limit (default auto)")},
    {text("optimality"), D_val, &g_values.optimality,
     text("Optimality Tolerance (default eps^0.8)")},
    {text("precision"), D_val, &g_values.precision, text("Function Precision (default eps^0.9)")},
    {text("print"), I_val, &g_values.print, text("Print Level (default 10)")},
};

constexpr zun_driver::DriverNames kNames{
    .solver = "DNNLP",
    .banner = "DNNLP, ZUN Fortran Library Plen 22",
    .option_variable = "dnnlp_options",
    .version = "DNNLP, ZUN Fortran Library Plen 22, AMPL interface 0.9",
    .program = "dnnlp",
    .invoked_solver = "DNNLP",
};

zun_driver::DriverOptionRecord g_record(kNames, g_keywords);

constexpr const char* kSolveMessages[] = {
    "converged: optimal solution found",
    "converged: suboptimal solution found, accuracy couldn't be achieved",
    "failed: the problem is infeasible (linear constraints & bounds)",
    "failed: the problem is infeasible (nonlinear constraints)",
    "failed: maximum number of iterations reached",
    "error: please consult the manual",
    "failed: requested accuracy couldn't be achieved",
    "error: please consult the manual",
};

}  // namespace

DenseKeywordValues& keyword_values() { return g_values; }

Option_Info& driver_option_info() { return g_record.info(); }

const char* banner_name() { return kNames.banner; }

std::vector<std::string> solver_option_lines(const DenseKeywordValues& v) {
  using zun_driver::add_integer_line;
  using zun_driver::add_real_line;
  std::vector<std::string> lines{zun_driver::verify_level_line()};
  add_real_line(lines, "Feasibility Tolerance = %e ", v.feasibility);
  add_real_line(lines, "Function Precision = %e ", v.precision);
  add_real_line(lines, "Optimality Tolerance = %e ", v.optimality);
  add_integer_line(lines, "Iteration Limit = %i ", v.maxit);
  add_integer_line(lines, "Print Level = %i ", v.print);
  return lines;
}

const char* solve_message(int ifail) { return zun_driver::solve_message_of(kSolveMessages, ifail); }

}  // namespace dnnlp
