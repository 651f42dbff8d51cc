// Test helper: direct ASL access to a loaded problem.
#include "tests/drivers/asl_loader.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "asl.h"
#include "drivers/common/driver_road.h"
#include "drivers/spnlp/asl_record.h"

namespace spnlp_test {

using spnlp::asl;

std::string data_path(const std::string& name) {
  return std::string(ZUN_TEST_DATA_DIR) + "/" + name;
}

LoadedProblem::LoadedProblem(const std::string& stub) {
  asl = ASL_alloc(ASL_read_fg);
  return_nofile = 1;
  FILE* nl = jac0dim(stub.c_str(), static_cast<fint>(stub.size()));
  if (nl == nullptr) return;
  zun_driver::allocate_asl_arrays();
  loaded_ = fg_read(nl, ASL_return_read_err) == 0;
  asl->i.congrd_mode = 1;
}

LoadedProblem::~LoadedProblem() { ASL_free(&asl); }

AslCounts LoadedProblem::counts() const {
  return AslCounts{n_var, n_con, n_obj, nlc, nlvc, nlvo, nbv, niv, nlvoi};
}

bool LoadedProblem::maximize(int objective) const { return objtype[objective] != 0; }

std::vector<double> LoadedProblem::start() const { return {X0, X0 + n_var}; }
std::vector<double> LoadedProblem::var_lower() const { return {LUv, LUv + n_var}; }
std::vector<double> LoadedProblem::var_upper() const { return {Uvx, Uvx + n_var}; }
std::vector<double> LoadedProblem::row_lower() const { return {LUrhs, LUrhs + n_con}; }
std::vector<double> LoadedProblem::row_upper() const { return {Urhsx, Urhsx + n_con}; }

double LoadedProblem::constraint(int row, const std::vector<double>& x, bool& error) const {
  fint ne = 0;
  const double value = conival(row, const_cast<double*>(x.data()), &ne);
  error = ne != 0;
  return value;
}

std::vector<double> LoadedProblem::constraint_gradient(int row,
                                                       const std::vector<double>& x,
                                                       bool& error) const {
  std::vector<double> g(static_cast<std::size_t>(n_var), 0.0);
  const int mode = asl->i.congrd_mode;
  asl->i.congrd_mode = 0;
  fint ne = 0;
  congrd(row, const_cast<double*>(x.data()), g.data(), &ne);
  asl->i.congrd_mode = mode;
  error = ne != 0;
  return g;
}

double LoadedProblem::objective(int k, const std::vector<double>& x, bool& error) const {
  fint ne = 0;
  const double value = objval(k, const_cast<double*>(x.data()), &ne);
  error = ne != 0;
  return value;
}

std::vector<double> LoadedProblem::objective_gradient(int k,
                                                      const std::vector<double>& x,
                                                      bool& error) const {
  std::vector<double> g(static_cast<std::size_t>(n_var), 0.0);
  fint ne = 0;
  objgrd(k, const_cast<double*>(x.data()), g.data(), &ne);
  error = ne != 0;
  return g;
}

bool LoadedProblem::read_solution(std::string& message,
                                  std::vector<double>& x,
                                  std::vector<double>& y) const {
  real* xs = nullptr;
  real* ys = nullptr;
  char* text = read_sol_ASL(asl, &xs, &ys);
  if (text == nullptr) return false;
  message = text;
  x.assign(xs, xs + n_var);
  y.assign(ys, ys + n_con);
  std::free(text);
  std::free(xs);
  std::free(ys);
  return true;
}

}  // namespace spnlp_test
