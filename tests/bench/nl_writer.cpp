// The text .nl writer.
#include "tests/bench/nl_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace nlgen {
namespace {

// Operator codes of the format.
constexpr int kPlus = 0;
constexpr int kMinus = 1;
constexpr int kMult = 2;
constexpr int kPow = 5;
constexpr int kSin = 41;
constexpr int kSumList = 54;

// Bound kinds of the 'r' and 'b' segments.
constexpr int kRange = 0;
constexpr int kUpperOnly = 1;
constexpr int kLowerOnly = 2;
constexpr int kFree = 3;
constexpr int kEqual = 4;

// One item line: a letter and its text.
std::string item(char letter, const std::string& text) {
  std::string line(1, letter);
  line += text;
  line += '\n';
  return line;
}

std::string op(int code) { return item('o', std::to_string(code)); }

std::string real_text(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

// One bound pair: its kind and values.
std::string bound_line(double lower, double upper) {
  const bool has_lower = std::isfinite(lower), has_upper = std::isfinite(upper);
  if (has_lower && has_upper && lower == upper) {
    return std::to_string(kEqual) + " " + real_text(lower) + "\n";
  }
  if (has_lower && has_upper) {
    return std::to_string(kRange) + " " + real_text(lower) + " " + real_text(upper) + "\n";
  }
  if (has_upper) return std::to_string(kUpperOnly) + " " + real_text(upper) + "\n";
  if (has_lower) return std::to_string(kLowerOnly) + " " + real_text(lower) + "\n";
  return std::to_string(kFree) + "\n";
}

std::vector<LinearTerm> sorted_terms(const NlFunction& f) {
  std::vector<LinearTerm> t = f.terms;
  std::sort(t.begin(), t.end(), [](const LinearTerm& a, const LinearTerm& b) {
    return a.var < b.var;
  });
  return t;
}

void write_header(const NlProblem& p, std::ostream& out) {
  int ranges = 0, equations = 0;
  for (const NlFunction& r : p.rows) {
    const bool both = std::isfinite(r.lower) && std::isfinite(r.upper);
    equations += both && r.lower == r.upper ? 1 : 0;
    ranges += both && r.lower != r.upper ? 1 : 0;
  }
  const int nonlinear_objectives = p.objective.nonlinear.empty() ? 0 : 1;
  out << "g3 1 1 0\t# problem " << p.name << "\n"
      << " " << p.x0.size() << " " << p.rows.size() << " 1 " << ranges << " " << equations
      << "\t# vars, constraints, objectives, ranges, eqns\n"
      << " " << p.nonlinear_rows << " " << nonlinear_objectives
      << "\t# nonlinear constraints, objectives\n"
      << " 0 0\t# network constraints: nonlinear, linear\n"
      << " " << p.nonlinear_in_rows << " " << p.nonlinear_in_objective << " "
      << p.nonlinear_in_both << "\t# nonlinear vars in constraints, objectives, both\n"
      << " 0 0 0 1\t# linear network variables; functions; arith, flags\n"
      << " 0 0 0 0 0\t# discrete variables: binary, integer, nonlinear (b,c,o)\n"
      << " " << jacobian_nonzeros(p) << " " << gradient_nonzeros(p)
      << "\t# nonzeros in Jacobian, gradients\n"
      << " 0 0\t# max name lengths: constraints, variables\n"
      << " 0 0 0 0 0\t# common exprs: b,c,o,c1,o1\n";
}

std::string nonlinear_part(const NlFunction& f) {
  return f.nonlinear.empty() ? num(0.0) : f.nonlinear;
}

// The 'k' segment: cumulative column counts of the Jacobian for all columns but the last.
void write_column_counts(const NlProblem& p, std::ostream& out) {
  const std::size_t n = p.x0.size();
  std::vector<long> count(n, 0);
  for (const NlFunction& r : p.rows) {
    for (const LinearTerm& t : r.terms) ++count[static_cast<std::size_t>(t.var)];
  }
  out << "k" << n - 1 << "\n";
  long running = 0;
  for (std::size_t j = 0; j + 1 < n; ++j) {
    running += count[j];
    out << running << "\n";
  }
}

}  // namespace

std::string var(int j) { return item('v', std::to_string(j)); }
std::string num(double value) { return item('n', real_text(value)); }
std::string add(const std::string& a, const std::string& b) { return op(kPlus) + a + b; }
std::string sub(const std::string& a, const std::string& b) { return op(kMinus) + a + b; }
std::string mul(const std::string& a, const std::string& b) { return op(kMult) + a + b; }
std::string power(const std::string& a, double exponent) { return op(kPow) + a + num(exponent); }
std::string sine(const std::string& a) { return op(kSin) + a; }

std::string sum(const std::vector<std::string>& terms) {
  if (terms.size() == 1) return terms.front();
  if (terms.size() == 2) return add(terms[0], terms[1]);
  std::string text = op(kSumList) + std::to_string(terms.size()) + "\n";
  for (const std::string& t : terms) text += t;
  return text;
}

long jacobian_nonzeros(const NlProblem& p) {
  long count = 0;
  for (const NlFunction& r : p.rows) count += static_cast<long>(r.terms.size());
  return count;
}

long gradient_nonzeros(const NlProblem& p) { return static_cast<long>(p.objective.terms.size()); }

void write_nl(const NlProblem& p, std::ostream& out) {
  write_header(p, out);
  for (std::size_t i = 0; i < p.rows.size(); ++i) {
    out << "C" << i << "\n" << nonlinear_part(p.rows[i]);
  }
  out << "O0 " << (p.maximize ? 1 : 0) << "\n" << nonlinear_part(p.objective);
  out << "x" << p.x0.size() << "\n";
  for (std::size_t j = 0; j < p.x0.size(); ++j) out << j << " " << real_text(p.x0[j]) << "\n";
  if (!p.rows.empty()) {
    out << "r\n";
    for (const NlFunction& r : p.rows) out << bound_line(r.lower, r.upper);
  }
  out << "b\n";
  for (std::size_t j = 0; j < p.x0.size(); ++j) out << bound_line(p.lower[j], p.upper[j]);
  if (p.x0.size() > 1) write_column_counts(p, out);
  for (std::size_t i = 0; i < p.rows.size(); ++i) {
    const std::vector<LinearTerm> t = sorted_terms(p.rows[i]);
    out << "J" << i << " " << t.size() << "\n";
    for (const LinearTerm& term : t) out << term.var << " " << real_text(term.coef) << "\n";
  }
  const std::vector<LinearTerm> g = sorted_terms(p.objective);
  if (!g.empty()) {
    out << "G0 " << g.size() << "\n";
    for (const LinearTerm& term : g) out << term.var << " " << real_text(term.coef) << "\n";
  }
}

}  // namespace nlgen
