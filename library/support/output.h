// Library-wide output units and the line writer.  Every printed line of the library is built
// in a character buffer and handed to write_line with a unit number; a negative unit prints
// nothing.
#pragma once

namespace zun {

// MODE 0: UNIT := the advisory unit; MODE 1: the advisory unit := UNIT; other modes: nothing.
void advisory_unit(const int& mode, int& unit);
// The same for the error unit.
void error_unit(const int& mode, int& unit);

// Writes TEXT(1..len) as one line on UNIT with its trailing blanks removed (a blank line keeps
// one blank; len <= 0 writes an empty line).  A unit opened on a file writes to the file;
// otherwise the line goes to the console, or to the output window when there is no console.
void write_line(const int& unit, const char* text, int len);

// write_line for each of the NREC records (each `record_len` characters) in order.
void write_lines(const int& unit, const int& nrec, const char* records, int record_len);

// The writer's side of the output window: CONSOLE := true when the process has a console
// (then nothing else happens); otherwise the line goes to the output window.
void append_output_line(bool& console, const char* text, int len);

}  // namespace zun
