// A small window layer: dialogs, a multi-line edit control with a text limit and a "full"
// notification, menus, accelerators, message boxes, local memory blocks, a clipboard, and a
// message queue per thread with posted and synchronously sent messages.  This platform has no
// window system, so the layer keeps the windows as objects in memory: nothing is drawn, but
// every message, text, menu state and ownership rule behaves as a program relies on, and the
// inspection calls at the end let a test see what a user would see.
//
// Threads: a window belongs to the thread that created it, and its procedure runs only on that
// thread.  send_message from another thread waits until the owner's get_message loop has
// handled the message; a window or thread that is gone answers 0.  All calls are thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace zun::platform {

using Window = std::uintptr_t;  // 0: no window
using Menu = std::uintptr_t;    // 0: no menu
using AcceleratorTable = std::uintptr_t;
using LocalBlock = std::uintptr_t;
using FontHandle = std::intptr_t;
using Param = std::intptr_t;

// Messages.  kCommand: wparam = command id | notification << 16, lparam = the control.
// kSize: lparam = client width | height << 16.  kKeyDown: wparam = key ('A'..'Z'), lparam =
// modifier flags.  kInitDialog: lparam = the creation parameter.
enum Message : unsigned {
  kInitDialog = 1,
  kSize,
  kClose,
  kCommand,
  kKeyDown,
  kSetFont,  // wparam = font
  kGetFont,
  kSetRedraw,  // wparam: 0 off, 1 on
  kCut,
  kCopy,
  kPaste,
  kClear,
  kGetTextLength,
  // Edit-control messages.
  kEditGetLineCount,
  kEditLineIndex,         // wparam = line (from 0); answers its first character or -1
  kEditSetSelection,      // wparam = start, lparam = end (-1: the end of the text)
  kEditReplaceSelection,  // wparam: undoable, lparam = zero-terminated text
  kEditSetLimit,          // wparam = characters
  kEditSetReadOnly,       // wparam: 0 writable, 1 read-only
  kEditUndo,
  kEditGetBuffer,     // answers the local block of the text buffer
  kEditSetBuffer,     // wparam = a local block that becomes the text buffer
  kEditGetSelection,  // wparam, lparam = int* (either may be null): receive the start and end
};

// Notifications of an edit control to its parent (high word of a command's wparam).
constexpr int kEditNoSpace = 0x0500;
constexpr int kEditLimitReached = 0x0501;
// The high word of a command sent by an accelerator.
constexpr int kAcceleratorCommand = 1;
constexpr int kCommandShift = 16;
// Modifier flag of kKeyDown.
constexpr Param kControlKey = 1;
// Style bit of an edit control in read-only state.
constexpr int kReadOnlyStyle = 0x0800;

struct MessageRecord {
  Window window = 0;
  unsigned message = 0;
  Param wparam = 0;
  Param lparam = 0;
};

// A window procedure: answers a message (0 when it leaves the message to the default).
using Procedure = Param (*)(Window, unsigned, Param, Param);

struct DialogTemplate {
  const char* title;
  int width;   // dialog units
  int height;  // dialog units
  const char* font;
  int font_points;
};

struct Rect {
  int x, y, width, height;
};

struct Font {
  std::string name;
  int points;
};

struct MenuItem {
  std::string text;
  int id = 0;
  bool separator = false;
  Menu popup = 0;  // a popup menu opened by this item
  bool grey = false;
};

struct Accelerator {
  int key;  // with the control key
  int command;
};

struct IconImage {
  int width = 0;
  int height = 0;
  int colours = 0;
  std::vector<std::uint8_t> pixels;  // one colour index a pixel, rows from the top
};

enum class MessageBoxIcon { kInformation, kExclamation };

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  MessageBoxIcon icon;
};

// --- windows ---------------------------------------------------------------------------------

// Creates a dialog on this thread from TEMPLATE, owned by OWNER (0: none), with PROCEDURE
// (nullptr: default answers only), then sends it kInitDialog with PARAM.  Returns 0 when the
// dialog cannot be created.
Window create_dialog(const DialogTemplate& dialog, Window owner, Procedure procedure, Param param);
// Creates a multi-line edit control as child ID of PARENT at RECT; its text limit is 30000.
Window create_edit_control(Window parent, int id, const Rect& rect);
// Destroys W with its children, the windows it owns, its menu and an edit control's buffer.
void destroy_window(Window w);
bool is_window(Window w);
Window get_dialog_item(Window dialog, int id);
void set_user_data(Window w, Param data);
Param user_data(Window w);
int window_style(Window w);
void show_window(Window w, bool visible);
// Moves W; a dialog is told its new client size by kSize.
void move_window(Window w, const Rect& rect);
void set_focus(Window w);
// The first top-level window (dialog or message box) titled TITLE, or 0.
Window find_window(const std::string& title);
void set_large_icon(Window w, const IconImage& icon);

// --- messages --------------------------------------------------------------------------------

Param send_message(Window w, unsigned message, Param wparam = 0, Param lparam = 0);
bool post_message(Window w, unsigned message, Param wparam = 0, Param lparam = 0);
// Waits for the next posted message of this thread, handling sent messages meanwhile; false
// when the thread was told to quit.
bool get_message(MessageRecord& record);
void dispatch_message(const MessageRecord& record);
void post_quit_message();

// --- menus and accelerators --------------------------------------------------------------------

Menu create_menu();
Menu create_popup_menu();
// Inserts ITEM at POSITION (from 0; -1 or beyond the end: last).
void insert_menu_item(Menu menu, int position, const MenuItem& item);
// Attaches MENU to W as its menu bar; W owns it from then on.
void set_menu(Window w, Menu menu);
Menu get_menu(Window w);
Menu get_sub_menu(Menu menu, int position);
// Greys or enables the item with command ID (searched in MENU and its popups); answers whether
// it was grey before, or -1 when there is no such item.
int enable_menu_item(Menu menu, int id, bool grey);

AcceleratorTable create_accelerator_table(const std::vector<Accelerator>& entries);
void destroy_accelerator_table(AcceleratorTable table);
// When RECORD is a key message that TABLE maps to a command, sends the command to W and
// answers true.
bool translate_accelerator(Window w, AcceleratorTable table, const MessageRecord& record);

// --- fonts, memory, clipboard, message boxes, threads --------------------------------------------

Font font_description(FontHandle font);
LocalBlock local_alloc(std::size_t bytes);  // zero-filled; 0 when it cannot be had
char* local_data(LocalBlock block);
void local_free(LocalBlock block);
std::string clipboard_text();
void set_clipboard_text(const std::string& text);
// Shows a message box (it stays open, as a top-level window titled CAPTION, until closed).
void message_box(Window owner,
                 const std::string& text,
                 const std::string& caption,
                 MessageBoxIcon icon);
// Starts BODY in a new thread; when BODY returns, the windows of the thread are destroyed and
// messages still sent to it answer 0.  False when no thread can be started.
bool start_thread(std::thread& thread, std::function<void()> body);
void sleep_ms(int milliseconds);

// --- inspection and test control ---------------------------------------------------------------

std::string window_text(Window w);  // an edit control's text, else the title
Rect window_rect(Window w);
bool is_visible(Window w);
FontHandle window_font(Window w);
int text_limit(Window w);
bool redraw_enabled(Window w);
Window focus_window();
IconImage large_icon(Window w);
std::vector<MenuItem> menu_items(Menu menu);
// The windows that OWNER owns (not its children), in the order of their creation.
std::vector<Window> owned_windows(Window owner);
std::vector<MessageBoxRecord> shown_message_boxes();
int live_windows();
int live_local_blocks();
// After the next AFTER dialog creations succeed, the COUNT following ones fail.
void fail_dialogs(int count, int after = 0);
// The next COUNT thread starts fail.
void fail_next_thread_starts(int count);

}  // namespace zun::platform
