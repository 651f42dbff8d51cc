// The failure convention of the library's public entries.  IFAIL on entry chooses what
// happens on failure (read by its decimal digits):
//   units digit 1 (of |IFAIL|): soft failure (return), otherwise hard (stop);
//   0, -1 and -13 always print (-13 prints only the records and returns);
//   a positive value prints when its tens digit is not 0; other values never print.
// A hard failure stops the program only when it is printed.
#pragma once

namespace zun {

// Prints the NREC failure records (each `record_len` characters) and the abnormal-exit lines
// on the error unit as IFAIL asks, stops the program on a printed hard failure, and returns
// IERROR (the new IFAIL).  IERROR = 0 returns 0 silently.
int report_failure(const int& ifail,
                   const int& ierror,
                   const char* srname,
                   const int& nrec,
                   const char* records,
                   int srname_len,
                   int record_len);

// Whether the failure mode IFAIL on entry prints the entry's own messages on the error unit
// (0, -1 and -13).
bool failure_mode_prints(int ifail_on_entry);

// Ends the program through the run-time's stop (non-zero exit status).
[[noreturn]] void stop_on_hard_failure();

}  // namespace zun
