// A small writer of text (g-format) AMPL .nl files, for generated test and benchmark problems:
// continuous variables with bounds and a start point, rows with a nonlinear part and linear
// terms, one objective.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace nlgen {

// Expressions in the file's prefix form, one item a line.
std::string var(int j);  // variable j, 0-based
std::string num(double value);
std::string add(const std::string& a, const std::string& b);
std::string sub(const std::string& a, const std::string& b);
std::string mul(const std::string& a, const std::string& b);
std::string power(const std::string& a, double exponent);
std::string sine(const std::string& a);
std::string sum(const std::vector<std::string>& terms);  // at least one term

struct LinearTerm {
  int var = 0;  // 0-based
  double coef = 0.0;
};

// A row or the objective: the nonlinear part (empty for none), its linear terms, which must
// also name every variable of the nonlinear part (with coefficient 0 when it only appears
// there), and the bounds of a row (+-infinity for none).
struct NlFunction {
  std::string nonlinear;
  std::vector<LinearTerm> terms;
  double lower = 0.0;
  double upper = 0.0;
};

// The variables are ordered as the format requires: first those nonlinear in both the rows
// and the objective, then those nonlinear in the rows only, then those nonlinear in the
// objective only, then the linear ones; the three counts say where each group ends.  Rows with
// a nonlinear part come first.
struct NlProblem {
  std::string name;
  std::vector<double> x0, lower, upper;  // one entry per variable
  std::vector<NlFunction> rows;
  int nonlinear_rows = 0;
  int nonlinear_in_rows = 0;       // nlvc
  int nonlinear_in_objective = 0;  // nlvo
  int nonlinear_in_both = 0;       // nlvb
  NlFunction objective;
  bool maximize = false;
};

// Writes the problem as a text .nl file.
void write_nl(const NlProblem& p, std::ostream& out);

// Nonzeros of the Jacobian and of the objective gradient, as the header counts them.
long jacobian_nonzeros(const NlProblem& p);
long gradient_nonzeros(const NlProblem& p);

}  // namespace nlgen
