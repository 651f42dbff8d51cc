// The window layer's object tables, shared by its window and edit-control files.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "library/platform/window.h"

namespace zun::platform::detail {

enum class WindowKind { kDialog, kEdit, kMessageBox };

struct EditState {
  std::string text;
  int limit = 30000;
  bool read_only = false;
  int selection_start = 0;
  int selection_end = 0;
  bool can_undo = false;
  std::string undo_text;
  bool redraw = true;
  LocalBlock buffer = 0;
};

struct WindowObject {
  WindowKind kind = WindowKind::kDialog;
  std::string title;
  Window parent = 0;
  Window owner = 0;
  int id = 0;
  Procedure procedure = nullptr;
  Param user_data = 0;
  std::thread::id thread;
  bool visible = true;
  Rect rect{0, 0, 0, 0};
  FontHandle font = 0;
  Menu menu = 0;
  IconImage icon;
  EditState edit;
};

struct MenuObject {
  std::vector<MenuItem> items;
};

struct SentMessage {
  MessageRecord record;
  Param result = 0;
  bool done = false;
};

struct ThreadQueue {
  std::deque<MessageRecord> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;
  bool quit = false;
  std::condition_variable wake;
};

// Every object of the layer, under one lock.  Procedures are never called with the lock held.
struct Registry {
  std::mutex mutex;
  std::condition_variable sent_done;
  std::map<Window, WindowObject> windows;
  std::map<Menu, MenuObject> menus;
  std::map<AcceleratorTable, std::vector<Accelerator>> accelerators;
  std::map<LocalBlock, std::vector<char>> blocks;
  std::map<std::thread::id, std::shared_ptr<ThreadQueue>> queues;
  std::vector<Font> fonts;
  std::vector<MessageBoxRecord> boxes;
  std::string clipboard;
  Window focus = 0;
  std::uintptr_t next_handle = 1;
  int dialogs_before_failing = 0;
  int failing_dialogs = 0;
  int failing_threads = 0;
};

// The layer's tables: created on first use and never destroyed.
Registry& registry();

// The window procedure of every edit control.
Param edit_procedure(Window w, unsigned message, Param wparam, Param lparam);

}  // namespace zun::platform::detail
