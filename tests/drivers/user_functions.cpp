// A library of user-defined functions for the end-to-end tests: the ASL loads it from AMPLFUNC
// and calls its funcadd_ASL, which declares cube(x) = x^3 with its derivatives.
#include "funcadd.h"

namespace {

real cube(arglist* al) {
  const real x = al->ra[0];
  if (al->derivs != nullptr) {
    al->derivs[0] = 3.0 * x * x;
    if (al->hes != nullptr) al->hes[0] = 6.0 * x;
  }
  return x * x * x;
}

}  // namespace

extern "C" void funcadd(AmplExports* ae) {
  addfunc("cube", reinterpret_cast<rfunc>(cube), FUNCADD_REAL_VALUED, 1, nullptr);
}
