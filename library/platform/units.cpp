// Numbered output units: a table of units connected to files, the record write that falls back
// to standard output, and the run-time's stop.
#include "library/platform/units.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace zun::platform {
namespace {

struct Unit {
  std::FILE* file = nullptr;
  std::string name;
  bool owns_file = true;  // false for a unit connected to the console (standard output)
};

// The run-time's unit table.  It is created on first use and never destroyed, so that a record
// written while other static objects are torn down still finds a valid table; the files are
// closed by an exit handler registered when the table is created.
class UnitTable {
 public:
  static UnitTable& instance() {
    static UnitTable* table = create();
    return *table;
  }

  Unit* find(int unit) {
    auto it = units_.find(unit);
    return it == units_.end() ? nullptr : &it->second;
  }

  void connect(int unit, const Unit& connection) {
    close(unit);
    units_[unit] = connection;
  }

  void close(int unit) {
    auto it = units_.find(unit);
    if (it == units_.end()) return;
    if (it->second.owns_file) {
      std::fclose(it->second.file);
    } else {
      std::fflush(it->second.file);
    }
    units_.erase(it);
  }

  void flush_all() {
    for (auto& [number, unit] : units_) std::fflush(unit.file);
    std::fflush(stdout);
  }

  void close_all() {
    while (!units_.empty()) close(units_.begin()->first);
  }

 private:
  UnitTable() = default;

  static UnitTable* create() {
    auto* table = new UnitTable;
    std::atexit([] { instance().close_all(); });
    return table;
  }

  std::map<int, Unit> units_;
};

}  // namespace

bool open_unit(int unit, const std::string& path, bool append) {
  if (unit < 0) return false;
  UnitTable& table = UnitTable::instance();
  table.close(unit);
  if (path == kConsoleDeviceName) {
    table.connect(unit, Unit{stdout, path, false});
    return true;
  }
  std::FILE* file = std::fopen(path.c_str(), append ? "a" : "w");
  if (file == nullptr) return false;
  table.connect(unit, Unit{file, path, true});
  return true;
}

bool inquire_unit(int unit, std::string* name) {
  if (unit < 0) return false;
  const Unit* u = UnitTable::instance().find(unit);
  if (u == nullptr) return false;
  if (name != nullptr) *name = u->name.substr(0, kUnitNameLength);
  return true;
}

void write_record(int unit, const char* text, int len) {
  if (unit < 0) return;
  const Unit* u = UnitTable::instance().find(unit);
  std::FILE* stream = u != nullptr ? u->file : stdout;
  if (len > 0 && text != nullptr) std::fwrite(text, 1, static_cast<std::size_t>(len), stream);
  std::fputc('\n', stream);
}

void close_unit(int unit) { UnitTable::instance().close(unit); }

void flush_units() { UnitTable::instance().flush_all(); }

void stop_run() {
  flush_units();
  std::exit(kStopExitStatus);
}

bool has_console() { return fcntl(STDOUT_FILENO, F_GETFD) != -1; }

}  // namespace zun::platform
