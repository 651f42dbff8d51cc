// Numbered output units: the small run-time layer that the library prints through.
// A unit is connected to a file with open_unit; a unit that is not open writes to standard
// output.  Unit 6 is standard output.  Everything that goes to standard output is written
// through the C stdio stream `stdout`, the stream the drivers' printf family uses, so that
// lines from both appear in program order.
#pragma once

#include <string>

namespace zun::platform {

constexpr int kStandardOutputUnit = 6;
// A unit's file name as the run-time reports it is cut to this many characters.
constexpr int kUnitNameLength = 40;
// The name of the console device: a unit connected to it counts as the console.
constexpr const char* kConsoleDeviceName = "CONOUT$";

// Connects `unit` (>= 0) to the file `path`, replacing any earlier connection of the unit.
// The file is truncated unless `append` is true.  The console device name connects the unit
// to standard output (no file is created); inquire_unit then reports that name.  Returns
// false when the file cannot be opened; the unit is then not open.
bool open_unit(int unit, const std::string& path, bool append = false);

// Whether `unit` is connected to a file.  When it is and `name` is not null, *name receives
// the file name cut to kUnitNameLength characters.
bool inquire_unit(int unit, std::string* name);

// Writes text[0..len) followed by a newline as one record.  A negative len writes an empty
// record.  A unit that is not open (and unit 6 unless opened) writes to standard output.
// A negative unit writes nothing.
void write_record(int unit, const char* text, int len);

// Flushes and disconnects `unit`; nothing when it is not open.
void close_unit(int unit);

// Flushes every open unit and standard output.
void flush_units();

// The run-time's stop used by a hard failure: flushes every unit, runs the exit handlers and
// ends the process with a non-zero status.
[[noreturn]] void stop_run();

// Exit status of stop_run.
constexpr int kStopExitStatus = 1;

// Whether the process has a console: on this platform, whether standard output is open.
bool has_console();

}  // namespace zun::platform
