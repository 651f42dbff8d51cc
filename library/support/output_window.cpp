// The output window: the writer's insertion with the trimming of a full buffer, the window
// thread with its message loop, the dialog procedure and its commands, and the menu.
#include "library/support/output_window.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace zun {

using platform::Param;
using platform::Window;
namespace ids = output_window_ids;

namespace {

// The main template and the second one, whose only difference that matters is the font.
constexpr platform::DialogTemplate kMainTemplate{kOutputWindowTitle, 350, 180, "Arial", 9};
constexpr platform::DialogTemplate kSecondTemplate{kOutputWindowTitle, 350, 220, "Lucida Console",
                                                   9};
constexpr platform::Rect kEditStart{0, 0, 600, 400};
// The edit control stands this many pixels inside the dialog's client area.
constexpr int kEditMargin = 2;
constexpr int kLowWordBits = 16;
constexpr Param kLowWordMask = 0xFFFF;

// Oldest lines removed per attempt, and attempts per line, when the text is full.
constexpr int kLinesDroppedPerAttempt = 10;
constexpr int kTrimAttempts = 10;
// Room for the CR, LF and terminating zero behind a line.
constexpr int kLineEndBytes = 3;

constexpr int kEditMenuPosition = 1;
// The items greyed while the text is read-only.
constexpr int kWritingCommands[] = {ids::kUndo, ids::kCut, ids::kPaste, ids::kClearAll};

struct MenuEntry {
  const char* text;  // nullptr: a separator
  int id;
};

constexpr MenuEntry kFileMenu[] = {{"&Close (until more output)", ids::kCloseUntilMoreOutput},
                                   {"&Exit (permanently)", ids::kExitPermanently}};
constexpr MenuEntry kEditMenu[] = {{"&Undo\tCtrl+Z", ids::kUndo},
                                   {nullptr, 0},
                                   {"Toggle &Readonly\tCtrl+R", ids::kToggleReadOnly},
                                   {"Select &All\tCtrl+A", ids::kSelectAll},
                                   {"Cu&t\tCtrl+X", ids::kCut},
                                   {"&Copy\tCtrl+C", ids::kCopy},
                                   {"&Paste\tCtrl+V", ids::kPaste},
                                   {nullptr, 0},
                                   {"Clea&r All", ids::kClearAll}};
constexpr MenuEntry kFontMenu[] = {{"&Arial", ids::kFontArial}, {"&Console", ids::kFontConsole}};

const std::vector<platform::Accelerator> kAccelerators = {
    {'A', ids::kSelectAll}, {'C', ids::kCopy},           {'V', ids::kPaste},
    {'X', ids::kCut},       {'R', ids::kToggleReadOnly}, {'Z', ids::kUndo}};

constexpr const char* kThreadFailureText = "Could not start new thread for ZUN Output Window";
constexpr const char* kThreadFailureCaption = "Failed to create ZUN Output Window";
constexpr const char* kDialogFailureText = "Failed to create ZUN output dialog";
constexpr const char* kDialogFailureCaption = "Error";

// The year of the About notice: the build's, kept within these bounds.
constexpr int kFirstNoticeYear = 2006;
constexpr int kLastNoticeYear = 2100;

template <std::size_t N>
platform::Menu popup_from(const MenuEntry (&entries)[N]) {
  const platform::Menu popup = platform::create_popup_menu();
  for (const MenuEntry& e : entries) {
    platform::MenuItem item;
    item.separator = e.text == nullptr;
    if (!item.separator) item.text = e.text;
    item.id = e.id;
    platform::insert_menu_item(popup, -1, item);
  }
  return popup;
}

void append_popup(platform::Menu bar, const char* title, platform::Menu popup) {
  platform::MenuItem item;
  item.text = title;
  item.popup = popup;
  platform::insert_menu_item(bar, -1, item);
}

// The window's 32 x 32, 16-colour icon: a framed letter Z.
platform::IconImage output_icon() {
  constexpr int kSize = 32;
  constexpr std::uint8_t kBackground = 15, kFrame = 1, kLetter = 4;
  platform::IconImage icon{kSize, kSize, 16, std::vector<std::uint8_t>(kSize * kSize, kBackground)};
  for (int r = 0; r < kSize; ++r) {
    for (int c = 0; c < kSize; ++c) {
      std::uint8_t& p = icon.pixels[static_cast<std::size_t>(r * kSize + c)];
      if (r < 2 || c < 2 || r >= kSize - 2 || c >= kSize - 2) p = kFrame;
      const bool bar = (r >= 6 && r < 9) || (r >= kSize - 9 && r < kSize - 6);
      const bool diagonal = std::abs((kSize - 1 - r) - c) <= 1;
      if (c >= 6 && c < kSize - 6 && r >= 6 && r < kSize - 6 && (bar || diagonal)) p = kLetter;
    }
  }
  return icon;
}

int notice_year() {
  const int year = std::atoi(__DATE__ + 7);  // "Mmm dd yyyy"
  return std::clamp(year, kFirstNoticeYear, kLastNoticeYear);
}

void show_about() {
  if (const Window old = platform::find_window(kAboutCaption)) {
    platform::send_message(old, platform::kClose);
  }
  const std::string notice =
      "ZUN Fortran Library\nOutput window for the library's printed lines\n"
      "(c) " +
      std::to_string(notice_year()) + " ZUN Library developers";
  platform::message_box(0, notice, kAboutCaption, platform::MessageBoxIcon::kInformation);
}

}  // namespace

OutputWindow::OutputWindow(OutputWindowTiming timing, bool closes_at_exit)
    : timing_(timing), closes_at_exit_(closes_at_exit) {}

OutputWindow::~OutputWindow() { close(); }

void OutputWindow::append(const char* text, int len) {
  if (closed_for_good_ || failed_) return;
  if (!ready_ && !open()) return;
  len = text == nullptr ? 0 : std::clamp(len, 0, kOutputTextLimit);
  insert(text, len);
  for (int attempt = 0; buffer_full_ && attempt < kTrimAttempts; ++attempt) {
    drop_oldest_lines();
    insert(text, len);
  }
}

void OutputWindow::close() {
  const Window dialog = dialog_;
  if (dialog != 0) platform::send_message(dialog, platform::kClose);
  if (thread_.joinable()) thread_.join();
}

// Starts a window thread and waits for its window.  A window that cannot be had is
// remembered, so that later lines neither start threads nor wait; a window that a user closed
// before the writer saw it costs only this line.
bool OutputWindow::open() {
  if (thread_.joinable()) thread_.join();  // the thread of a closed window ends by itself
  running_ = true;
  if (!platform::start_thread(thread_, [this] { run(); })) {
    running_ = false;
    platform::message_box(0, kThreadFailureText, kThreadFailureCaption,
                          platform::MessageBoxIcon::kExclamation);
    failed_ = true;
    return ready_;
  }
  for (int i = 0; i < timing_.ready_polls && !ready_ && !failed_ && running_; ++i) {
    platform::sleep_ms(timing_.ready_poll_ms);
  }
  if (!ready_ && running_) failed_ = true;
  return ready_;
}

// Puts the line with its line end at the start of the last (empty) line; when the text limit
// cut it short, the part that went in is taken out again and buffer_full_ stays set.
void OutputWindow::insert(const char* text, int len) {
  using namespace platform;
  const Window edit = get_dialog_item(dialog_, ids::kEditControl);
  const LocalBlock block = local_alloc(static_cast<std::size_t>(len) + kLineEndBytes);
  if (block == 0) return;
  char* line = local_data(block);
  std::memcpy(line, text, static_cast<std::size_t>(len));
  std::memcpy(line + len, "\r\n", kLineEndBytes);
  buffer_full_ = false;
  const Param last = send_message(edit, kEditGetLineCount) - 1;
  const Param start = std::max<Param>(send_message(edit, kEditLineIndex, last), 0);
  send_message(edit, kEditSetSelection, start, start);
  send_message(edit, kEditReplaceSelection, 0, reinterpret_cast<Param>(line));
  if (buffer_full_) {
    send_message(edit, kEditSetSelection, start, -1);
    send_message(edit, kEditReplaceSelection, 0, reinterpret_cast<Param>(""));
  }
  local_free(block);
  sleep_ms(timing_.insert_pause_ms);
}

void OutputWindow::drop_oldest_lines() {
  using namespace platform;
  const Window edit = get_dialog_item(dialog_, ids::kEditControl);
  send_message(edit, kSetRedraw, 0);
  const Param lines =
      std::min<Param>(send_message(edit, kEditGetLineCount), kLinesDroppedPerAttempt);
  send_message(edit, kEditSetSelection, 0, send_message(edit, kEditLineIndex, lines));
  send_message(edit, kEditReplaceSelection, 0, reinterpret_cast<Param>(""));
  send_message(edit, kSetRedraw, 1);
}

void OutputWindow::run() {
  using namespace platform;
  const Window dialog =
      create_dialog(kMainTemplate, 0, &OutputWindow::procedure, reinterpret_cast<Param>(this));
  if (dialog == 0) {
    message_box(0, kDialogFailureText, kDialogFailureCaption, MessageBoxIcon::kInformation);
    failed_ = true;
    running_ = false;
    return;
  }
  console_source_ = create_dialog(kSecondTemplate, dialog, nullptr, 0);
  arial_source_ = create_dialog(kMainTemplate, dialog, nullptr, 0);
  show_window(console_source_, false);
  show_window(arial_source_, false);

  const Window edit = create_edit_control(dialog, ids::kEditControl, kEditStart);
  send_message(edit, kSetFont, send_message(dialog, kGetFont));
  local_free(static_cast<LocalBlock>(send_message(edit, kEditGetBuffer)));
  send_message(edit, kEditSetBuffer, static_cast<Param>(local_alloc(kOutputTextLimit)));
  send_message(edit, kEditSetLimit, kOutputTextLimit);

  build_output_menu(dialog);
  set_large_icon(dialog, output_icon());
  const AcceleratorTable accelerators = create_accelerator_table(kAccelerators);
  if (closes_at_exit_) {
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(close_output_window); });
  }
  show_window(dialog, true);
  dialog_ = dialog;
  ready_ = true;

  MessageRecord message;
  while (get_message(message)) {
    if (!translate_accelerator(dialog, accelerators, message)) dispatch_message(message);
  }
  destroy_accelerator_table(accelerators);
  running_ = false;
}

Param OutputWindow::procedure(Window w, unsigned message, Param wparam, Param lparam) {
  using namespace platform;
  if (message == kInitDialog) {
    set_user_data(w, lparam);
    return 1;
  }
  auto* self = reinterpret_cast<OutputWindow*>(user_data(w));
  if (self == nullptr) return 0;
  switch (message) {
    case kSize: {
      const int width = static_cast<int>(lparam & kLowWordMask);
      const int height = static_cast<int>((lparam >> kLowWordBits) & kLowWordMask);
      move_window(get_dialog_item(w, ids::kEditControl),
                  {kEditMargin, kEditMargin, std::max(width - 2 * kEditMargin, 0),
                   std::max(height - 2 * kEditMargin, 0)});
      return 1;
    }
    case kClose:
      if (self->dialog_ != 0) self->close_window(w);
      return 1;
    case kCommand:
      self->command(w, static_cast<int>(wparam & kLowWordMask),
                    static_cast<int>((wparam >> kLowWordBits) & kLowWordMask));
      return 1;
    default:
      return 0;
  }
}

void OutputWindow::command(Window dialog, int id, int notification) {
  using namespace platform;
  const Window edit = get_dialog_item(dialog, ids::kEditControl);
  const bool read_only = (window_style(edit) & kReadOnlyStyle) != 0;
  switch (id) {
    case ids::kEditControl:
      if (notification == kEditNoSpace || notification == kEditLimitReached) buffer_full_ = true;
      break;
    case ids::kSelectAll:
      set_focus(edit);
      send_message(edit, kEditSetSelection, 0, -1);
      break;
    case ids::kCut:
      if (!read_only) send_message(edit, kCut);
      break;
    case ids::kCopy:
      send_message(edit, kCopy);
      break;
    case ids::kPaste:
      if (!read_only) send_message(edit, kPaste);
      break;
    case ids::kClearAll:
      if (read_only) break;
      send_message(edit, kEditSetSelection, 0, -1);
      send_message(edit, kCut);
      break;
    case ids::kAbout:
      show_about();
      break;
    case ids::kExitPermanently:
      closed_for_good_ = true;
      close_window(dialog);
      break;
    case ids::kCloseUntilMoreOutput:
      close_window(dialog);
      break;
    case ids::kToggleReadOnly:
      toggle_read_only(dialog, edit, !read_only);
      break;
    case ids::kUndo:
      if (!read_only) send_message(edit, kEditUndo);
      break;
    case ids::kFontArial:
      use_font_of(edit, arial_source_);
      break;
    case ids::kFontConsole:
      use_font_of(edit, console_source_);
      break;
    default:
      break;
  }
}

// Destroys the window with its edit control, text buffer and font sources and ends the
// thread's message loop; the next line opens a new window unless closed for good.
void OutputWindow::close_window(Window dialog) {
  platform::destroy_window(dialog);
  dialog_ = 0;
  ready_ = false;
  platform::post_quit_message();
}

void OutputWindow::toggle_read_only(Window dialog, Window edit, bool read_only) {
  using namespace platform;
  send_message(edit, kEditSetReadOnly, read_only ? 1 : 0);
  const Menu edit_menu = get_sub_menu(get_menu(dialog), kEditMenuPosition);
  for (int id : kWritingCommands) enable_menu_item(edit_menu, id, read_only);
}

void OutputWindow::use_font_of(Window edit, Window font_source) {
  using namespace platform;
  if (font_source == 0) return;
  show_window(edit, false);
  send_message(edit, kSetFont, send_message(font_source, kGetFont));
  send_message(edit, kEditSetSelection, 0, 0);
  show_window(edit, true);
}

void OutputWindow::build_output_menu(Window dialog) {
  using namespace platform;
  const Menu bar = create_menu();
  append_popup(bar, "&File ", popup_from(kFileMenu));
  append_popup(bar, "&Edit ", popup_from(kEditMenu));
  if (arial_source_ != 0 && console_source_ != 0) {
    append_popup(bar, "F&ont ", popup_from(kFontMenu));
  }
  MenuItem about;
  about.text = "&About ";
  about.id = ids::kAbout;
  insert_menu_item(bar, -1, about);
  set_menu(dialog, bar);
}

OutputWindow& program_output_window() {
  static OutputWindow* window = new OutputWindow({}, true);
  return *window;
}

void close_output_window() { program_output_window().close(); }

}  // namespace zun
