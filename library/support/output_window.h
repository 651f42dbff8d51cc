// The output window: where the line writer's lines go when the process has no console.  A
// resizable dialog with one multi-line edit control and a small menu, run by a thread of its
// own; it opens on the first line, can be closed until more output comes, or for good.
#pragma once

#include <atomic>
#include <thread>

#include "library/platform/window.h"

namespace zun {

// Command ids of the window's controls and menu items.
namespace output_window_ids {
constexpr int kEditControl = 1000;
constexpr int kSelectAll = 1101;
constexpr int kCut = 1102;
constexpr int kCopy = 1103;
constexpr int kPaste = 1104;
constexpr int kClearAll = 1105;
constexpr int kAbout = 1106;
constexpr int kCloseUntilMoreOutput = 1109;
constexpr int kExitPermanently = 1110;
constexpr int kToggleReadOnly = 1112;
constexpr int kUndo = 1113;
constexpr int kFontArial = 1114;
constexpr int kFontConsole = 1115;
}  // namespace output_window_ids

// Characters the window holds at most.
constexpr int kOutputTextLimit = 100000;
constexpr const char* kOutputWindowTitle = "ZUN Library Output Window";
constexpr const char* kAboutCaption = "About ZUN";

// The pauses of the writer: after each insertion, and while it waits for a new window.
struct OutputWindowTiming {
  int insert_pause_ms = 10;
  int ready_poll_ms = 10;
  int ready_polls = 1000;
};

// One output window with its thread.  The writer's side (append, close) is called from one
// thread; the window's side runs in the window thread.  The flags they share are atomics.
class OutputWindow {
 public:
  explicit OutputWindow(OutputWindowTiming timing = {}, bool closes_at_exit = false);
  ~OutputWindow();
  OutputWindow(const OutputWindow&) = delete;
  OutputWindow& operator=(const OutputWindow&) = delete;

  // Shows TEXT(1..LEN) as a new last line, opening the window first when it is not open.
  // Dropped after "Exit (permanently)", when no window could be had, or when the line still
  // does not fit after the oldest lines were removed 10 times.
  void append(const char* text, int len);
  // Closes an open window and waits for its thread to end.
  void close();

  platform::Window dialog() const { return dialog_; }
  bool ready() const { return ready_; }
  bool closed_for_good() const { return closed_for_good_; }
  bool failed() const { return failed_; }

 private:
  bool open();
  void run();
  void insert(const char* text, int len);
  void drop_oldest_lines();
  static platform::Param procedure(platform::Window w,
                                   unsigned message,
                                   platform::Param wparam,
                                   platform::Param lparam);
  void command(platform::Window dialog, int id, int notification);
  void close_window(platform::Window dialog);
  void toggle_read_only(platform::Window dialog, platform::Window edit, bool read_only);
  void use_font_of(platform::Window edit, platform::Window font_source);
  void build_output_menu(platform::Window dialog);

  OutputWindowTiming timing_;
  bool closes_at_exit_;
  std::atomic<platform::Window> dialog_{0};
  std::atomic<bool> ready_{false};
  std::atomic<bool> closed_for_good_{false};
  std::atomic<bool> buffer_full_{false};
  std::atomic<bool> failed_{false};
  std::atomic<bool> running_{false};  // the window thread has not finished
  // The hidden dialogs whose fonts the Font menu offers (window thread only).
  platform::Window arial_source_ = 0;
  platform::Window console_source_ = 0;
  std::thread thread_;
};

// The program's output window (static, never destroyed; closed at process exit).
OutputWindow& program_output_window();
// The process-exit handler: closes the program's window when it is open.
void close_output_window();

}  // namespace zun
