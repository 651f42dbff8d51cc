// The three option tasks of the sparse solver: store the defaults once ("Initialize"), turn
// the workspace copies of the options into the values a solve uses ("Check optional
// parameters") and write the options listing ("Print the options").
#pragma once

#include <string_view>

#include "library/support/option_store.h"

namespace zun {

// The DEFAULTS action: option words 51..180 of both kinds := unset, the machine constants
// recomputed, then every default stored.
void store_option_defaults(int* iw, double* rw);

// Stores the defaults once: when logical word "defaults not set" is true, reads the line
// "Defaults" (listing off) and clears that word.
void initialize_options(Logical* lw, int* iw, int niw, double* rw, int nrw);

// Resolves, replaces and derives the option values in the workspace words IZ and Z (problem
// sizes already in IZ).  The store itself is not touched.
void check_options(int* iz, double* z);

// Writes the options listing on the print unit IZ(12) when the print level IZ(92) >= 1.
// start: the START character; routine: the 6-character routine code; neediz/needz: the
// lengths the solve needs.
void print_options(
    const int* iz, const double* z, char start, std::string_view routine, int neediz, int needz);

// The two workspace records of the listing and of the workspace plan's too-small report:
// the lengths provided and the lengths needed to start.
void write_workspace_lines(int unit, int leniz, int lenz, int neediz, int needz);

// Dispatches on the first letter of TASK: "I" initialize_options (LW, IW, RW are the store's
// words), "C" check_options, "P" print_options (IW, RW are IZ and Z); other letters do
// nothing.
void run_option_task(std::string_view task,
                     char start,
                     std::string_view routine,
                     int* iw,
                     int niw,
                     double* rw,
                     int nrw,
                     int neediz,
                     int needz,
                     Logical* lw);

}  // namespace zun
