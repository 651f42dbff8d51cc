// The interval search TOLBEZ: from the values of one function at x, x + h and x + 2h it
// judges the cancellation error of the difference h and moves h until the second-difference
// error ratio lies in [0.001, 0.1], giving a forward-difference interval and an error
// estimate.  The state lives in a plain record so that the caller can keep it between
// reverse-communication requests.
#pragma once

namespace zun {

struct IntervalSearch {
  // Inputs of every step.
  double epsa = 0.0;   // absolute error of the function values
  double fprec = 0.0;  // function precision
  int limit = 3;       // most iterations
  // Search state.
  double h = 0.0;      // the trial interval (signed); the next trial after a step
  int iterations = 0;
  int direction = 0;   // +1 enlarging, -1 reducing, 0 not yet chosen
  double factor = 0.0;
  bool has_fallback = false;
  double fallback_h = 0.0, fallback_d1 = 0.0, fallback_d3 = 0.0, fallback_d4 = 0.0;
  double previous_h = 0.0, previous_d1 = 0.0, previous_d3 = 0.0, previous_d4 = 0.0;
  // Results, valid when done.
  bool done = false;
  bool accepted = false;
  double d1 = 0.0;        // forward difference at the interval returned
  double d3 = 0.0;        // second-order one-sided difference
  double d4 = 0.0;        // second-derivative estimate
  double e2 = 0.0;        // second-difference error ratio of the last trial
  double forward = 0.0;   // forward-difference interval (absolute)
  double error = 0.0;     // error estimate of the difference
  double h_used = 0.0;    // |h| of the interval the results belong to
};

// One iteration with phi0 = f(x), phi1 = f(x + h), phi2 = f(x + 2h).  When the search goes
// on, s.h holds the next trial interval.  A zero second difference never divides:
// forward_fallback is the interval taken when the forward formula cannot be formed.
void interval_search_step(IntervalSearch& s,
                          double phi0,
                          double phi1,
                          double phi2,
                          double forward_fallback);

}  // namespace zun
