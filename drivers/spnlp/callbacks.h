// The two evaluation routines that the driver hands to SPNLPF: the nonlinear constraints and
// the objective with their derivatives, evaluated through the ASL on the problem that the
// driver has read (the record `spnlp::asl`).
#pragma once

namespace spnlp {

// Holds X as the ASL's known point while it lives, so that a sweep of evaluations over many
// rows does not make the ASL compare the point with its last one (all N_VAR values) at every
// row.  When the point cannot be set (an evaluation error in a shared common expression),
// nothing is held and each evaluation checks the point itself.
class KnownPoint {
 public:
  explicit KnownPoint(double* x);
  ~KnownPoint();
  KnownPoint(const KnownPoint&) = delete;
  KnownPoint& operator=(const KnownPoint&) = delete;
};

// confun: fCon(1..NCNLN) when MODE is 0 or 2, the nonlinear Jacobian elements gCon(1..NGCON)
// in column order when MODE is 1 or 2, at the point XNL(1..NJNLN) with every later variable
// at 0.  IUSR(1 + c) maps the c-th element of the row-by-row walk to its gCon position
// (0-based); RUSR holds 2N reals of scratch.  An evaluation error, a value or derivative that
// is not finite included, sets MODE to -1 and returns at once.  NGCON and FIRSTCALL are not
// read.
void confun(int& mode,
            const int& ncnln,
            const int& njnln,
            const int& ngcon,
            const double* xnl,
            double* fcon,
            double* gcon,
            const int& firstcall,
            int* iusr,
            double* rusr);

// objfun: the objective IUSR(1) (0-based, -1 none: value 0 and a zero gradient) and its
// gradient gObj(1..NONLN) at XNL(1..NONLN) with every later variable at 0.  An evaluation error
// (or a value or gradient element that is not finite) sets MODE to -1 and returns at once.
void objfun(int& mode,
            const int& nonln,
            const double* xnl,
            double& fobj,
            double* gobj,
            const int& firstcall,
            int* iusr,
            double* rusr);

}  // namespace spnlp
