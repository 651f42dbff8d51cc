// Test helper: whether a "converged" verdict in a .sol file holds at the point it gives.
#include "tests/drivers/common/converged_check.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "asl.h"

namespace driver_test {

namespace {

constexpr std::size_t kLongestFault = 4096;

// The violation of `value` outside [lower, upper] relative to 1 + `scale`.
double relative_violation(double value, double lower, double upper, double scale) {
  const double violation = std::max({lower - value, value - upper, 0.0});
  return violation / (1.0 + scale);
}

// What is wrong with the converged point of the problem loaded in `asl`; empty when nothing is.
std::string check_point(ASL* asl, real* x, double tolerance) {
  std::ostringstream fault;
  if (x == nullptr) return "converged without a point in the .sol file";
  fint error = 0;
  if (n_obj > 0) {
    const double f = objval(0, x, &error);
    if (error != 0 || !std::isfinite(f)) {
      fault << "converged at objective " << f << (error != 0 ? " (evaluation error)" : "");
      return fault.str();
    }
  }
  for (int j = 0; j < n_var; ++j) {
    const double v = relative_violation(x[j], LUv[j], Uvx[j], std::fabs(x[j]));
    if (!(v <= tolerance)) {
      fault << "converged with variable " << j + 1 << " = " << x[j] << " outside [" << LUv[j]
            << ", " << Uvx[j] << "]";
      return fault.str();
    }
  }
  std::vector<real> g(static_cast<std::size_t>(n_var));
  asl->i.congrd_mode = 0;
  for (int i = 0; i < n_con; ++i) {
    error = 0;
    const double c = conival(i, x, &error);
    congrd(i, x, g.data(), &error);
    double largest = std::fabs(c);
    for (int j = 0; j < n_var; ++j) largest = std::max(largest, std::fabs(g[j] * x[j]));
    if (error != 0 || !std::isfinite(c)) {
      fault << "converged with constraint " << i + 1 << " = " << c << ", not evaluated finite";
      return fault.str();
    }
    const double v = relative_violation(c, LUrhs[i], Urhsx[i], largest);
    if (!(v <= tolerance)) {
      fault << "converged with constraint " << i + 1 << " = " << c << " outside [" << LUrhs[i]
            << ", " << Urhsx[i] << "], relative violation " << v;
      return fault.str();
    }
  }
  return "";
}

// In the child: the check, its fault sent on `out`.
[[noreturn]] void run_check(const std::string& stub, double tolerance, int out) {
  ASL* asl = ASL_alloc(ASL_read_fg);
  std::vector<char> name(stub.begin(), stub.end());
  name.push_back('\0');
  return_nofile = 1;
  FILE* nl = jac0dim(name.data(), static_cast<fint>(stub.size()));
  std::string fault;
  if (nl != nullptr) {
    X0 = static_cast<real*>(M1alloc(std::max(n_var, 1) * sizeof(real)));
    LUv = static_cast<real*>(M1alloc(std::max(n_var, 1) * sizeof(real)));
    Uvx = static_cast<real*>(M1alloc(std::max(n_var, 1) * sizeof(real)));
    LUrhs = static_cast<real*>(M1alloc(std::max(n_con, 1) * sizeof(real)));
    Urhsx = static_cast<real*>(M1alloc(std::max(n_con, 1) * sizeof(real)));
    if (fg_read(nl, ASL_return_read_err) != 0) {
      fault = "the ASL cannot read the file the program solved";
    } else {
      real* x = nullptr;
      real* y = nullptr;
      char* message = read_sol_ASL(asl, &x, &y);
      if (message != nullptr && std::strncmp(message, "converged", 9) == 0) {
        fault = check_point(asl, x, tolerance);
      }
    }
  }
  fault.resize(std::min(fault.size(), kLongestFault));
  const bool sent = write(out, fault.data(), fault.size()) == static_cast<ssize_t>(fault.size());
  _exit(sent ? 0 : 1);
}

}  // namespace

std::string converged_fault(const std::string& stub, double tolerance) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return "no pipe for the check";
  const pid_t child = fork();
  if (child < 0) {
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    return "no process for the check";
  }
  if (child == 0) {
    close(pipe_ends[0]);
    run_check(stub, tolerance, pipe_ends[1]);
  }
  close(pipe_ends[1]);
  std::string fault;
  char chunk[kLongestFault];
  ssize_t n = 0;
  while ((n = read(pipe_ends[0], chunk, sizeof chunk)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    fault.append(chunk, static_cast<std::size_t>(n));
  }
  close(pipe_ends[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the check of the .sol file failed";
  return fault;
}

}  // namespace driver_test
