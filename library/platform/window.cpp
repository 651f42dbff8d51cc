// The window layer: object tables, thread queues and message delivery, dialogs, menus,
// accelerators, fonts, local memory, the clipboard and message boxes.
#include <algorithm>
#include <chrono>
#include <system_error>

#include "library/platform/window_internal.h"

namespace zun::platform {

using detail::Registry;
using detail::registry;
using detail::ThreadQueue;
using detail::WindowKind;
using detail::WindowObject;

namespace detail {

Registry& registry() {
  static Registry* tables = new Registry;
  return *tables;
}

}  // namespace detail

namespace {

// Pixels of one dialog unit.
constexpr int kPixelsPerDialogUnit = 2;
constexpr Param kLowWordMask = 0xFFFF;

using Lock = std::unique_lock<std::mutex>;

std::uintptr_t new_handle(Registry& reg) { return reg.next_handle++; }

WindowObject* find(Registry& reg, Window w) {
  auto it = reg.windows.find(w);
  return it == reg.windows.end() ? nullptr : &it->second;
}

// F(object) for W's object under the lock, or NONE when W is not a window.
template <class T, class F>
T read_window(Window w, T none, F field) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  const WindowObject* obj = find(reg, w);
  return obj == nullptr ? none : field(*obj);
}

// CHANGE(object) for W's object under the lock; nothing when W is not a window.
template <class F>
void update_window(Window w, F change) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  if (WindowObject* obj = find(reg, w)) change(*obj);
}

ThreadQueue& queue_of_this_thread(Registry& reg) {
  auto& q = reg.queues[std::this_thread::get_id()];
  if (!q) q = std::make_shared<ThreadQueue>();
  return *q;
}

FontHandle intern_font(Registry& reg, const Font& font) {
  for (std::size_t i = 0; i < reg.fonts.size(); ++i) {
    if (reg.fonts[i].name == font.name && reg.fonts[i].points == font.points) {
      return static_cast<FontHandle>(i + 1);
    }
  }
  reg.fonts.push_back(font);
  return static_cast<FontHandle>(reg.fonts.size());
}

void destroy_menu_locked(Registry& reg, Menu menu) {
  auto it = reg.menus.find(menu);
  if (it == reg.menus.end()) return;
  const std::vector<MenuItem> items = it->second.items;
  reg.menus.erase(it);
  for (const MenuItem& item : items) {
    if (item.popup != 0) destroy_menu_locked(reg, item.popup);
  }
}

void destroy_window_locked(Registry& reg, Window w) {
  WindowObject* obj = find(reg, w);
  if (obj == nullptr) return;
  reg.blocks.erase(obj->edit.buffer);
  destroy_menu_locked(reg, obj->menu);
  reg.windows.erase(w);
  if (reg.focus == w) reg.focus = 0;
  std::vector<Window> dependents;
  for (const auto& [handle, other] : reg.windows) {
    if (other.parent == w || other.owner == w) dependents.push_back(handle);
  }
  for (Window d : dependents) destroy_window_locked(reg, d);
}

// Default answers of a window whose procedure left the message alone.
Param default_answer(Window w, unsigned message, Param wparam) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  WindowObject* obj = find(reg, w);
  if (obj == nullptr) return 0;
  switch (message) {
    case kGetFont:
      return obj->font;
    case kSetFont:
      obj->font = wparam;
      return 0;
    case kClose:
      if (obj->kind == WindowKind::kMessageBox) destroy_window_locked(reg, w);
      return 0;
    default:
      return 0;
  }
}

// Runs W's procedure on this thread, then the default answer when it answered 0.
Param call_procedure(Window w, unsigned message, Param wparam, Param lparam) {
  Procedure procedure = nullptr;
  {
    Registry& reg = registry();
    Lock lock(reg.mutex);
    WindowObject* obj = find(reg, w);
    if (obj == nullptr) return 0;
    procedure = obj->procedure;
  }
  const Param result = procedure != nullptr ? procedure(w, message, wparam, lparam) : 0;
  return result != 0 ? result : default_answer(w, message, wparam);
}

// Ends this thread's queue: its windows go, and senders still waiting get 0.
void end_thread_queue() {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  const auto id = std::this_thread::get_id();
  std::vector<Window> owned;
  for (const auto& [handle, obj] : reg.windows) {
    if (obj.thread == id) owned.push_back(handle);
  }
  for (Window w : owned) destroy_window_locked(reg, w);
  auto it = reg.queues.find(id);
  if (it == reg.queues.end()) return;
  for (auto& sent : it->second->sent) sent->done = true;
  reg.queues.erase(it);
  reg.sent_done.notify_all();
}

Window create_window(WindowObject object) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  object.thread = std::this_thread::get_id();
  queue_of_this_thread(reg);
  const Window w = new_handle(reg);
  reg.windows.emplace(w, std::move(object));
  return w;
}

}  // namespace

// --- windows -----------------------------------------------------------------------------------

Window create_dialog(const DialogTemplate& dialog, Window owner, Procedure procedure, Param param) {
  {
    Registry& reg = registry();
    Lock lock(reg.mutex);
    if (reg.dialogs_before_failing > 0) {
      --reg.dialogs_before_failing;
    } else if (reg.failing_dialogs > 0) {
      --reg.failing_dialogs;
      return 0;
    }
  }
  WindowObject object;
  object.kind = WindowKind::kDialog;
  object.title = dialog.title;
  object.owner = owner;
  object.procedure = procedure;
  object.rect = {0, 0, dialog.width * kPixelsPerDialogUnit, dialog.height * kPixelsPerDialogUnit};
  {
    Registry& reg = registry();
    Lock lock(reg.mutex);
    object.font = intern_font(reg, Font{dialog.font, dialog.font_points});
  }
  const Window w = create_window(std::move(object));
  call_procedure(w, kInitDialog, 0, param);
  return w;
}

Window create_edit_control(Window parent, int id, const Rect& rect) {
  WindowObject object;
  object.kind = WindowKind::kEdit;
  object.parent = parent;
  object.id = id;
  object.procedure = detail::edit_procedure;
  object.rect = rect;
  object.edit.buffer = local_alloc(1);
  return create_window(std::move(object));
}

void destroy_window(Window w) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  destroy_window_locked(reg, w);
}

bool is_window(Window w) {
  return read_window(w, false, [](const WindowObject&) { return true; });
}

Window get_dialog_item(Window dialog, int id) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  for (const auto& [handle, obj] : reg.windows) {
    if (obj.parent == dialog && obj.id == id) return handle;
  }
  return 0;
}

void set_user_data(Window w, Param data) {
  update_window(w, [data](WindowObject& o) { o.user_data = data; });
}

Param user_data(Window w) {
  return read_window(w, Param{0}, [](const WindowObject& o) { return o.user_data; });
}

int window_style(Window w) {
  return read_window(w, 0,
                     [](const WindowObject& o) { return o.edit.read_only ? kReadOnlyStyle : 0; });
}

void show_window(Window w, bool visible) {
  update_window(w, [visible](WindowObject& o) { o.visible = visible; });
}

void move_window(Window w, const Rect& rect) {
  bool dialog = false;
  {
    Registry& reg = registry();
    Lock lock(reg.mutex);
    WindowObject* obj = find(reg, w);
    if (obj == nullptr) return;
    obj->rect = rect;
    dialog = obj->kind == WindowKind::kDialog;
  }
  if (dialog) {
    const Param size = (static_cast<Param>(std::max(rect.height, 0)) << kCommandShift) |
                       (std::max(rect.width, 0) & kLowWordMask);
    send_message(w, kSize, 0, size);
  }
}

void set_focus(Window w) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  if (find(reg, w) != nullptr) reg.focus = w;
}

Window find_window(const std::string& title) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  for (const auto& [handle, obj] : reg.windows) {
    if (obj.kind != WindowKind::kEdit && obj.title == title) return handle;
  }
  return 0;
}

void set_large_icon(Window w, const IconImage& icon) {
  update_window(w, [&icon](WindowObject& o) { o.icon = icon; });
}

// --- messages ------------------------------------------------------------------------------------

Param send_message(Window w, unsigned message, Param wparam, Param lparam) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  const WindowObject* obj = find(reg, w);
  if (obj == nullptr) return 0;
  const auto owner = obj->thread;
  if (owner == std::this_thread::get_id() || obj->kind == WindowKind::kMessageBox) {
    lock.unlock();
    return call_procedure(w, message, wparam, lparam);
  }
  auto q = reg.queues.find(owner);
  if (q == reg.queues.end()) return 0;
  auto sent = std::make_shared<detail::SentMessage>();
  sent->record = {w, message, wparam, lparam};
  q->second->sent.push_back(sent);
  q->second->wake.notify_all();
  reg.sent_done.wait(lock, [&] { return sent->done; });
  return sent->result;
}

bool post_message(Window w, unsigned message, Param wparam, Param lparam) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  const WindowObject* obj = find(reg, w);
  if (obj == nullptr) return false;
  auto q = reg.queues.find(obj->thread);
  if (q == reg.queues.end()) return false;
  q->second->posted.push_back({w, message, wparam, lparam});
  q->second->wake.notify_all();
  return true;
}

bool get_message(MessageRecord& record) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  ThreadQueue* q = &queue_of_this_thread(reg);
  for (;;) {
    if (!q->sent.empty()) {
      auto sent = q->sent.front();
      q->sent.pop_front();
      lock.unlock();
      const Param result = call_procedure(sent->record.window, sent->record.message,
                                          sent->record.wparam, sent->record.lparam);
      lock.lock();
      sent->result = result;
      sent->done = true;
      reg.sent_done.notify_all();
    } else if (!q->posted.empty()) {
      record = q->posted.front();
      q->posted.pop_front();
      return true;
    } else if (q->quit) {
      q->quit = false;
      return false;
    } else {
      q->wake.wait(lock);
    }
  }
}

void dispatch_message(const MessageRecord& record) {
  call_procedure(record.window, record.message, record.wparam, record.lparam);
}

void post_quit_message() {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  ThreadQueue& q = queue_of_this_thread(reg);
  q.quit = true;
  q.wake.notify_all();
}

// --- menus and accelerators ----------------------------------------------------------------------

Menu create_menu() {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  const Menu m = new_handle(reg);
  reg.menus[m];
  return m;
}

Menu create_popup_menu() { return create_menu(); }

void insert_menu_item(Menu menu, int position, const MenuItem& item) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  auto it = reg.menus.find(menu);
  if (it == reg.menus.end()) return;
  auto& items = it->second.items;
  const auto at = position < 0 || position >= static_cast<int>(items.size())
                      ? items.end()
                      : items.begin() + position;
  items.insert(at, item);
}

void set_menu(Window w, Menu menu) {
  update_window(w, [menu](WindowObject& o) { o.menu = menu; });
}

Menu get_menu(Window w) {
  return read_window(w, Menu{0}, [](const WindowObject& o) { return o.menu; });
}

Menu get_sub_menu(Menu menu, int position) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  auto it = reg.menus.find(menu);
  if (it == reg.menus.end() || position < 0 ||
      position >= static_cast<int>(it->second.items.size())) {
    return 0;
  }
  return it->second.items[static_cast<std::size_t>(position)].popup;
}

namespace {

int enable_locked(Registry& reg, Menu menu, int id, bool grey) {
  auto it = reg.menus.find(menu);
  if (it == reg.menus.end()) return -1;
  for (MenuItem& item : it->second.items) {
    if (!item.separator && item.popup == 0 && item.id == id) {
      const bool was = item.grey;
      item.grey = grey;
      return was ? 1 : 0;
    }
  }
  for (const MenuItem& item : it->second.items) {
    if (item.popup == 0) continue;
    const int found = enable_locked(reg, item.popup, id, grey);
    if (found >= 0) return found;
  }
  return -1;
}

}  // namespace

int enable_menu_item(Menu menu, int id, bool grey) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  return enable_locked(reg, menu, id, grey);
}

AcceleratorTable create_accelerator_table(const std::vector<Accelerator>& entries) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  const AcceleratorTable t = new_handle(reg);
  reg.accelerators[t] = entries;
  return t;
}

void destroy_accelerator_table(AcceleratorTable table) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  reg.accelerators.erase(table);
}

bool translate_accelerator(Window w, AcceleratorTable table, const MessageRecord& record) {
  if (record.message != kKeyDown || (record.lparam & kControlKey) == 0) return false;
  int command = 0;
  {
    Registry& reg = registry();
    Lock lock(reg.mutex);
    auto it = reg.accelerators.find(table);
    if (it == reg.accelerators.end()) return false;
    for (const Accelerator& a : it->second) {
      if (a.key == record.wparam) command = a.command;
    }
  }
  if (command == 0) return false;
  send_message(
      w, kCommand,
      static_cast<Param>(command) | (static_cast<Param>(kAcceleratorCommand) << kCommandShift));
  return true;
}

// --- fonts, memory, clipboard, message boxes, threads ------------------------------------------

Font font_description(FontHandle font) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  if (font < 1 || font > static_cast<FontHandle>(reg.fonts.size())) return {};
  return reg.fonts[static_cast<std::size_t>(font - 1)];
}

LocalBlock local_alloc(std::size_t bytes) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  const LocalBlock b = new_handle(reg);
  try {
    reg.blocks[b].assign(bytes + 1, '\0');  // one byte more keeps the text terminated
  } catch (const std::bad_alloc&) {
    reg.blocks.erase(b);
    return 0;
  }
  return b;
}

char* local_data(LocalBlock block) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  auto it = reg.blocks.find(block);
  return it == reg.blocks.end() ? nullptr : it->second.data();
}

void local_free(LocalBlock block) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  reg.blocks.erase(block);
}

std::string clipboard_text() {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  return reg.clipboard;
}

void set_clipboard_text(const std::string& text) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  reg.clipboard = text;
}

void message_box(Window owner,
                 const std::string& text,
                 const std::string& caption,
                 MessageBoxIcon icon) {
  WindowObject object;
  object.kind = WindowKind::kMessageBox;
  object.title = caption;
  object.owner = owner;
  object.edit.text = text;
  create_window(std::move(object));
  Registry& reg = registry();
  Lock lock(reg.mutex);
  reg.boxes.push_back({text, caption, icon});
}

bool start_thread(std::thread& thread, std::function<void()> body) {
  {
    Registry& reg = registry();
    Lock lock(reg.mutex);
    if (reg.failing_threads > 0) {
      --reg.failing_threads;
      return false;
    }
  }
  try {
    thread = std::thread([body = std::move(body)] {
      body();
      end_thread_queue();
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void sleep_ms(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// --- inspection and test control -----------------------------------------------------------------

std::string window_text(Window w) {
  return read_window(w, std::string(), [](const WindowObject& o) {
    return o.kind == WindowKind::kDialog ? o.title : o.edit.text;
  });
}

Rect window_rect(Window w) {
  return read_window(w, Rect{0, 0, 0, 0}, [](const WindowObject& o) { return o.rect; });
}

bool is_visible(Window w) {
  return read_window(w, false, [](const WindowObject& o) { return o.visible; });
}

FontHandle window_font(Window w) {
  return read_window(w, FontHandle{0}, [](const WindowObject& o) { return o.font; });
}

int text_limit(Window w) {
  return read_window(w, 0, [](const WindowObject& o) { return o.edit.limit; });
}

bool redraw_enabled(Window w) {
  return read_window(w, false, [](const WindowObject& o) { return o.edit.redraw; });
}

Window focus_window() {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  return reg.focus;
}

IconImage large_icon(Window w) {
  return read_window(w, IconImage{}, [](const WindowObject& o) { return o.icon; });
}

std::vector<MenuItem> menu_items(Menu menu) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  auto it = reg.menus.find(menu);
  return it == reg.menus.end() ? std::vector<MenuItem>{} : it->second.items;
}

std::vector<Window> owned_windows(Window owner) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  std::vector<Window> owned;
  for (const auto& [handle, obj] : reg.windows) {
    if (owner != 0 && obj.owner == owner) owned.push_back(handle);
  }
  return owned;
}

std::vector<MessageBoxRecord> shown_message_boxes() {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  return reg.boxes;
}

int live_windows() {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  return static_cast<int>(reg.windows.size());
}

int live_local_blocks() {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  return static_cast<int>(reg.blocks.size());
}

void fail_dialogs(int count, int after) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  reg.failing_dialogs = std::max(count, 0);
  reg.dialogs_before_failing = std::max(after, 0);
}

void fail_next_thread_starts(int count) {
  Registry& reg = registry();
  Lock lock(reg.mutex);
  reg.failing_threads = std::max(count, 0);
}

}  // namespace zun::platform
