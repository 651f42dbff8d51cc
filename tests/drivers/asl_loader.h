// Test helper: loads an .nl file into the driver's ASL record and evaluates it directly
// through the ASL, independently of the driver's evaluation routines.
#pragma once

#include <string>
#include <vector>

namespace spnlp_test {

// Path of a file under tests/data.
std::string data_path(const std::string& name);

// The ASL's counts of a problem.
struct AslCounts {
  int n_var = 0;
  int n_con = 0;
  int n_obj = 0;
  int nlc = 0;
  int nlvc = 0;
  int nlvo = 0;
  int nbv = 0;
  int niv = 0;
  int nlvoi = 0;
};

// Holds `spnlp::asl` from construction to destruction: reads the file (stub or stub.nl) with
// fg_read, bounds, start point and starting duals included, in compact constraint-gradient
// mode as the driver uses it.
class LoadedProblem {
 public:
  explicit LoadedProblem(const std::string& stub);
  ~LoadedProblem();
  LoadedProblem(const LoadedProblem&) = delete;
  LoadedProblem& operator=(const LoadedProblem&) = delete;

  bool loaded() const { return loaded_; }
  AslCounts counts() const;
  bool maximize(int objective) const;
  std::vector<double> start() const;
  std::vector<double> var_lower() const;
  std::vector<double> var_upper() const;
  std::vector<double> row_lower() const;
  std::vector<double> row_upper() const;

  // Evaluations at a full point; `error` is set on an evaluation error.
  double constraint(int row, const std::vector<double>& x, bool& error) const;
  std::vector<double> constraint_gradient(int row, const std::vector<double>& x, bool& error) const;
  double objective(int k, const std::vector<double>& x, bool& error) const;
  std::vector<double> objective_gradient(int k, const std::vector<double>& x, bool& error) const;

  // Reads stub.sol: its message, primal values and duals; false when it cannot be read.
  bool read_solution(std::string& message, std::vector<double>& x, std::vector<double>& y) const;

 private:
  bool loaded_ = false;
};

}  // namespace spnlp_test
