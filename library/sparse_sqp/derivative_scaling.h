// Brings user-supplied derivatives into the scaled problem: x(j) = c(j) * scaled x(j) and
// a(i,j) = r(i) * scaled a(i,j) / c(j), with the scales S (N column scales, then M row
// scales).  Entries that still hold the not-supplied value (real word 181) stay as they are.
#pragma once

namespace zun {

// The nonlinear Jacobian GCON (in the order of the leading nonlinear-row elements of columns
// 1..NJNLN of HA/KA): each supplied value := value * S(j) / S(N + row).  Acts only when the
// count of supplied Jacobian elements IZ(187) >= 1 and NJNLN >= 1.
void scale_jacobian(int ncnln,
                    int njnln,
                    int n,
                    const double* s,
                    const int* ha,
                    const int* ka,
                    double* gcon,
                    const int* iz,
                    const double* z);

// The objective gradient GOBJ(1..NONLN): each supplied element := element * S(j).  Acts only
// when the count of supplied gradient elements IZ(186) > 0 and NONLN > 0.
void scale_gradient(int nonln, const double* s, double* gobj, const int* iz, const double* z);

}  // namespace zun
