// The reduced-Hessian factor R (R'R = Z'HZ over the superbasics, Z = [-B^-1 S; I; 0]) of the QP
// minor iterations: its build, its pivoted Cholesky factorisation, the test of a new diagonal,
// the search direction, the reduced gradient and the changes of R when the superbasic set or
// the basis changes.  R is packed by columns: R(i,j), i <= j, at j(j-1)/2 + i (1-based).
#pragma once

#include <string_view>

#include "library/sparse_qp/sparse_qp.h"

namespace zun {

// 0-based offset of R(i,j) (1-based i <= j) in the packed triangle.
inline int packed(int i, int j) { return j * (j - 1) / 2 + i - 1; }

// What the Hessian products of a subproblem need.
struct HessianContext {
  const QpRoutines& routines;
  const ColumnMatrix& a;
  int m;
  int n;
  int nnh;
  double sign;  // the objective sign
  int& products;
  int* iz;
  int leniz;
  double* z;
  int lenz;
};

// hv(1..nnh) := the routine's product with v(1..nnh); the product counter goes up by one.
void hessian_product(const QpRoutines& routines,
                     double sign,
                     int m,
                     int n,
                     int nnh,
                     int& products,
                     const ColumnMatrix& a,
                     const double* v,
                     double* hv,
                     int* iz,
                     int leniz,
                     double* z,
                     int lenz);
void hessian_product(const HessianContext& h, const double* v, double* hv);

// R := the packed upper triangle of sign x Z'HZ for the ns superbasics BsIndex(m+1..m+ns);
// returns its largest diagonal.
double build_reduced_hessian(const HessianContext& h, int ns, const int* bs_index, double* r);

// Pivoted Cholesky factorisation of the packed symmetric a (order n) in place: stops at the
// first pivot <= tol (rank := k - 1, dmin := that pivot).  option first letter 'N': no
// interchanges; else perm(k) records the position brought to k.  inform 1 when rank < n.
void cholesky_packed_pivoted(std::string_view option,
                             int& inform,
                             int n,
                             double tol,
                             double& dmin,
                             int& rank,
                             int* perm,
                             double* a);

// Factorises the reduced Hessian held in R (tolerance max(1, hdmax) / Z(85)); with
// interchanges the superbasics are permuted alike.  Superbasics beyond the rank are made
// nonbasic and ns drops.
void factorize_reduced_hessian(std::string_view option,
                               int& inform,
                               int m,
                               int& ns,
                               double hdmax,
                               double* r,
                               const BasisArrays& basis,
                               int* iz,
                               double* z,
                               int itn,
                               int print_level);

// Tests the square d of the newest diagonal (order ns): ok when d >= tol; flag 1 when
// d <= -tol (indefinite); a d in (-tol, 0) is raised to 0.
void check_r_diagonal(
    bool& ok, int& flag, int itn, int ns, double& d, const double* r, int* iz, double* z, int print_level);

// The search direction p (ns) of the superbasics with gp = rg'p and its curvature dq.
void solve_rtr_direction(bool objective_in_force,
                         bool r_valid,
                         bool r_complete,
                         int ns,
                         const double* r,
                         const double* rg,
                         double* p,
                         double& gp,
                         double& dq);

// rg(k) := g(m+k) - S(:,k)'pi over the ns superbasics; returns max |rg(k)| (0 when ns = 0).
double reduced_gradient_norm(int m,
                             int n,
                             int ns,
                             const int* bs_index,
                             const ColumnMatrix& a,
                             const double* g,
                             const double* pi,
                             double* rg);

// The new last column of R (order ns) when jq has just become superbasic ns: p(1..m) holds
// B^-1 a_jq.  Leaves the square d of the new diagonal in R(ns,ns).  work: 2 (m + nnh) reals.
void form_new_r_column(const HessianContext& h,
                       int jq,
                       int ns,
                       const int* bs_index,
                       double* r,
                       const double* p,
                       double* work);

// target(k) := sign x source(index(k)) for k = 1..count with 1 <= index(k) <= limit (source
// indexed by the 1-based variable number); sign 0 does nothing.
void gather_signed(
    int count, int limit, double sign, const int* index, const double* source, double* target);

// R'R := M'R'RM where M = I + e_k w' (k the superbasic that replaces a basic variable).  v: n
// reals of work.
void update_r_on_swap(int n, double* r, double* v, const double* w, int k);

// Moves column k1 of R to place k2 (for k2 > k1 columns k1+1..k2 move one place left, for
// k2 < k1 columns k2..k1-1 one place right) and restores the triangle by rotations; R'R
// becomes the same matrix with the rows and columns permuted alike.  work: n reals.
void move_r_column(int k1, int k2, int n, double* r, double* work);

}  // namespace zun
