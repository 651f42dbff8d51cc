// The log line of one major iteration: a long form on the monitoring unit and a short form on
// the print unit, each with its heading.
#pragma once

#include <string_view>

namespace zun {

struct MajorLogLine {
  int major = 0;
  int minor = 0;
  double step = 0.0;
  double objective = 0.0;  // the first and the second part, times the sign
  double objective2 = 0.0;
  int sign = 1;
  double feasibility = 0.0;
  double optimality = 0.0;
  int ns = 0;
  double penalty = 0.0;
  int swaps = 0;
  double condition = 0.0;
  bool primal = false;
  bool dual = false;
  std::string_view flags = "      ";
};

// Prints at the major print level; reads IZ(12), IZ(13), IZ(21), IZ(23), IZ(173), IZ(174),
// IZ(190), IZ(195) and keeps the heading requests IZ(224), IZ(225).
void print_major_iteration(const MajorLogLine& line, int print_level, int* iz);

}  // namespace zun
