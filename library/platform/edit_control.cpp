// The multi-line edit control of the window layer: text with CR LF line ends, a selection, a
// text limit with its "full" notification, a read-only state, one level of undo and the
// clipboard commands.
#include <algorithm>
#include <cstring>
#include <string>

#include "library/platform/window_internal.h"

namespace zun::platform::detail {
namespace {

constexpr const char* kLineEnd = "\r\n";

int text_size(const EditState& e) { return static_cast<int>(e.text.size()); }

int line_count(const EditState& e) {
  int lines = 1;
  for (std::size_t p = e.text.find(kLineEnd); p != std::string::npos;
       p = e.text.find(kLineEnd, p + 2)) {
    ++lines;
  }
  return lines;
}

int line_index(const EditState& e, Param line) {
  if (line < 0) return -1;
  std::size_t start = 0;
  for (Param k = 0; k < line; ++k) {
    const std::size_t p = e.text.find(kLineEnd, start);
    if (p == std::string::npos) return -1;
    start = p + 2;
  }
  return static_cast<int>(start);
}

void set_selection(EditState& e, Param start, Param end) {
  const int size = text_size(e);
  if (start < 0) {
    e.selection_start = e.selection_end = size;
    return;
  }
  if (end < 0) end = size;
  const int s = static_cast<int>(std::min<Param>(start, size));
  const int t = static_cast<int>(std::min<Param>(end, size));
  e.selection_start = std::min(s, t);
  e.selection_end = std::max(s, t);
}

// Replaces the selection by as much of TEXT as the limit allows; answers whether all fitted.
bool replace_selection(EditState& e, const std::string& text, bool undoable) {
  if (undoable) e.undo_text = e.text;
  e.can_undo = undoable;
  const int kept = text_size(e) - (e.selection_end - e.selection_start);
  const int room = std::max(e.limit - kept, 0);
  const int taken = std::min(static_cast<int>(text.size()), room);
  e.text.replace(static_cast<std::size_t>(e.selection_start),
                 static_cast<std::size_t>(e.selection_end - e.selection_start), text, 0,
                 static_cast<std::size_t>(taken));
  e.selection_start = e.selection_end = e.selection_start + taken;
  return taken == static_cast<int>(text.size());
}

std::string selected_text(const EditState& e) {
  return e.text.substr(static_cast<std::size_t>(e.selection_start),
                       static_cast<std::size_t>(e.selection_end - e.selection_start));
}

// Handles MESSAGE on the edit state; sets *full when an insertion did not fit.
Param edit_message(
    Registry& reg, EditState& e, unsigned message, Param wparam, Param lparam, bool* full) {
  switch (message) {
    case kEditGetLineCount:
      return line_count(e);
    case kEditLineIndex:
      return line_index(e, wparam);
    case kEditSetSelection:
      set_selection(e, wparam, lparam);
      return 1;
    case kEditGetSelection:
      if (int* start = reinterpret_cast<int*>(wparam)) *start = e.selection_start;
      if (int* end = reinterpret_cast<int*>(lparam)) *end = e.selection_end;
      return 1;
    case kEditReplaceSelection: {
      const char* text = reinterpret_cast<const char*>(lparam);
      *full = !replace_selection(e, text != nullptr ? text : "", wparam != 0);
      return 0;
    }
    case kEditSetLimit:
      e.limit = static_cast<int>(std::clamp<Param>(wparam, 0, 0x7FFFFFFE));
      return 1;
    case kEditSetReadOnly:
      e.read_only = wparam != 0;
      return 1;
    case kEditUndo:
      if (e.read_only || !e.can_undo) return 0;
      std::swap(e.text, e.undo_text);
      e.selection_start = e.selection_end = text_size(e);
      return 1;
    case kCopy:
      if (e.selection_end > e.selection_start) reg.clipboard = selected_text(e);
      return 0;
    case kCut:
    case kClear:
      if (e.read_only || e.selection_end == e.selection_start) return 0;
      if (message == kCut) reg.clipboard = selected_text(e);
      replace_selection(e, "", true);
      return 0;
    case kPaste:
      if (e.read_only) return 0;
      *full = !replace_selection(e, reg.clipboard, true);
      return 0;
    case kSetRedraw:
      e.redraw = wparam != 0;
      return 0;
    case kGetTextLength:
      return text_size(e);
    case kEditGetBuffer:
      return static_cast<Param>(e.buffer);
    case kEditSetBuffer: {
      e.buffer = static_cast<LocalBlock>(wparam);
      auto it = reg.blocks.find(e.buffer);
      e.text = it == reg.blocks.end() ? std::string() : std::string(it->second.data());
      e.selection_start = e.selection_end = 0;
      e.can_undo = false;
      return 1;
    }
    default:
      return 0;
  }
}

}  // namespace

Param edit_procedure(Window w, unsigned message, Param wparam, Param lparam) {
  Registry& reg = registry();
  std::unique_lock lock(reg.mutex);
  auto it = reg.windows.find(w);
  if (it == reg.windows.end()) return 0;
  bool full = false;
  const Param result = edit_message(reg, it->second.edit, message, wparam, lparam, &full);
  const Window parent = it->second.parent;
  const Param notification =
      static_cast<Param>(it->second.id) | (static_cast<Param>(kEditLimitReached) << kCommandShift);
  lock.unlock();
  if (full && parent != 0) send_message(parent, kCommand, notification, static_cast<Param>(w));
  return result;
}

}  // namespace zun::platform::detail
