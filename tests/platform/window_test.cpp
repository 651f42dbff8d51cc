// The window layer: the edit control's text, limit and notification, clipboard commands and
// undo, messages sent across threads, menus, accelerators, message boxes and clean-up.
#include "library/platform/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace zun::platform {
namespace {

constexpr DialogTemplate kTemplate{"Layer Test", 100, 50, "Arial", 9};
constexpr int kEditId = 7;

// What a test dialog's procedure saw.
struct Seen {
  std::vector<std::pair<int, int>> commands;  // (id, notification)
  Param init_param = 0;
  std::thread::id thread;
};

Param recording_procedure(Window w, unsigned message, Param wparam, Param lparam) {
  if (message == kInitDialog) {
    set_user_data(w, lparam);
    reinterpret_cast<Seen*>(lparam)->init_param = lparam;
    return 1;
  }
  auto* seen = reinterpret_cast<Seen*>(user_data(w));
  if (seen == nullptr) return 0;
  seen->thread = std::this_thread::get_id();
  if (message == kCommand) {
    seen->commands.emplace_back(static_cast<int>(wparam & 0xFFFF),
                                static_cast<int>(wparam >> kCommandShift));
    return 1;
  }
  if (message == kClose) {
    destroy_window(w);
    post_quit_message();
    return 1;
  }
  return 0;
}

Param replace(Window edit, const char* text) {
  return send_message(edit, kEditReplaceSelection, 1, reinterpret_cast<Param>(text));
}

class EditControl : public ::testing::Test {
 protected:
  void SetUp() override {
    baseline_ = live_windows();
    blocks_ = live_local_blocks();
    dialog_ = create_dialog(kTemplate, 0, recording_procedure, reinterpret_cast<Param>(&seen_));
    edit_ = create_edit_control(dialog_, kEditId, {0, 0, 60, 40});
  }
  void TearDown() override {
    destroy_window(dialog_);
    EXPECT_EQ(live_windows(), baseline_);
    EXPECT_EQ(live_local_blocks(), blocks_);
  }
  Seen seen_;
  Window dialog_ = 0;
  Window edit_ = 0;
  int baseline_ = 0;
  int blocks_ = 0;
};

TEST_F(EditControl, LinesSelectionAndIndices) {
  EXPECT_EQ(seen_.init_param, reinterpret_cast<Param>(&seen_));
  EXPECT_EQ(get_dialog_item(dialog_, kEditId), edit_);
  EXPECT_EQ(text_limit(edit_), 30000);
  EXPECT_EQ(send_message(edit_, kEditGetLineCount), 1);
  replace(edit_, "alpha\r\nbeta\r\n");
  EXPECT_EQ(send_message(edit_, kEditGetLineCount), 3);
  EXPECT_EQ(send_message(edit_, kEditLineIndex, 1), 7);
  EXPECT_EQ(send_message(edit_, kEditLineIndex, 2), 13);
  EXPECT_EQ(send_message(edit_, kEditLineIndex, 3), -1);
  send_message(edit_, kEditSetSelection, 7, 9);
  replace(edit_, "BE");
  EXPECT_EQ(window_text(edit_), "alpha\r\nBEta\r\n");
  send_message(edit_, kEditSetSelection, 5, -1);  // to the end
  replace(edit_, "");
  EXPECT_EQ(window_text(edit_), "alpha");
  send_message(edit_, kEditSetSelection, 99, 2);  // clamped and ordered
  int start = -1, end = -1;
  send_message(edit_, kEditGetSelection, reinterpret_cast<Param>(&start),
               reinterpret_cast<Param>(&end));
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(2, 5));
  replace(edit_, "!");
  EXPECT_EQ(window_text(edit_), "al!");
  EXPECT_EQ(send_message(edit_, kGetTextLength), 3);
}

TEST_F(EditControl, LimitCutsAnInsertionShortAndTellsTheParent) {
  send_message(edit_, kEditSetLimit, 10);
  replace(edit_, "hello\r\n");
  EXPECT_TRUE(seen_.commands.empty());
  replace(edit_, "world\r\n");
  EXPECT_EQ(window_text(edit_), "hello\r\nwor");
  ASSERT_EQ(seen_.commands.size(), 1u);
  EXPECT_EQ(seen_.commands[0], std::make_pair(kEditId, kEditLimitReached));
  // Replacing a selection frees its room first.
  send_message(edit_, kEditSetSelection, 0, 5);
  replace(edit_, "HELLO");
  EXPECT_EQ(window_text(edit_), "HELLO\r\nwor");
  EXPECT_EQ(seen_.commands.size(), 1u);
}

TEST_F(EditControl, ClipboardUndoAndReadOnly) {
  replace(edit_, "one two");
  send_message(edit_, kEditSetSelection, 0, 4);
  send_message(edit_, kCut);
  EXPECT_EQ(clipboard_text(), "one ");
  EXPECT_EQ(window_text(edit_), "two");
  send_message(edit_, kEditUndo);
  EXPECT_EQ(window_text(edit_), "one two");
  send_message(edit_, kEditSetSelection, 4, -1);
  send_message(edit_, kPaste);
  EXPECT_EQ(window_text(edit_), "one one ");

  send_message(edit_, kEditSetReadOnly, 1);
  EXPECT_EQ(window_style(edit_) & kReadOnlyStyle, kReadOnlyStyle);
  set_clipboard_text("zz");
  send_message(edit_, kEditSetSelection, 0, -1);
  for (unsigned m : {kCut, kPaste, kClear, kEditUndo}) send_message(edit_, m);
  EXPECT_EQ(window_text(edit_), "one one ");
  EXPECT_EQ(clipboard_text(), "zz");
  send_message(edit_, kCopy);
  EXPECT_EQ(clipboard_text(), "one one ");
  replace(edit_, "program text");  // the program may still write
  EXPECT_EQ(window_text(edit_), "program text");
  send_message(edit_, kEditSetReadOnly, 0);
  EXPECT_EQ(window_style(edit_) & kReadOnlyStyle, 0);
}

TEST_F(EditControl, BufferBlockIsReplacedAndFontsComeFromDialogs) {
  const LocalBlock old = static_cast<LocalBlock>(send_message(edit_, kEditGetBuffer));
  ASSERT_NE(old, 0u);
  const LocalBlock block = local_alloc(64);
  send_message(edit_, kEditSetBuffer, static_cast<Param>(block));
  local_free(old);
  EXPECT_EQ(send_message(edit_, kEditGetBuffer), static_cast<Param>(block));
  EXPECT_EQ(window_text(edit_), "");
  const FontHandle font = send_message(dialog_, kGetFont);
  EXPECT_EQ(font_description(font).name, "Arial");
  EXPECT_EQ(font_description(font).points, 9);
  send_message(edit_, kSetFont, font);
  EXPECT_EQ(window_font(edit_), font);
}

// A dialog run by a thread of its own, as a window thread runs one.
class WindowThread {
 public:
  WindowThread() {
    EXPECT_TRUE(start_thread(thread_, [this] {
      dialog_ = create_dialog(kTemplate, 0, recording_procedure, reinterpret_cast<Param>(&seen_));
      edit_ = create_edit_control(dialog_, kEditId, {0, 0, 10, 10});
      ready_ = true;
      MessageRecord m;
      while (get_message(m)) {
        if (!translate_accelerator(dialog_, table_, m)) dispatch_message(m);
      }
    }));
    while (!ready_) std::this_thread::yield();
  }
  ~WindowThread() {
    if (thread_.joinable()) thread_.join();
  }
  void join() { thread_.join(); }
  Seen seen_;
  std::atomic<Window> dialog_{0};
  std::atomic<Window> edit_{0};
  AcceleratorTable table_ = create_accelerator_table({{'R', 42}});
  std::atomic<bool> ready_{false};
  std::thread thread_;
};

TEST(WindowThreads, SentMessagesRunOnTheOwnerAndEndWithIt) {
  const int baseline = live_windows();
  WindowThread t;
  replace(t.edit_, "from the test thread\r\n");
  EXPECT_EQ(window_text(t.edit_), "from the test thread\r\n");
  EXPECT_EQ(send_message(t.dialog_, kCommand, 5), 1);
  EXPECT_EQ(t.seen_.thread, t.thread_.get_id());
  EXPECT_EQ(t.seen_.commands.back(), std::make_pair(5, 0));

  // A key with the control flag becomes the accelerator's command; without it, nothing.
  post_message(t.dialog_, kKeyDown, 'R', 0);
  post_message(t.dialog_, kKeyDown, 'R', kControlKey);
  post_message(t.dialog_, kClose);
  t.join();
  EXPECT_EQ(t.seen_.commands.back(), std::make_pair(42, kAcceleratorCommand));
  EXPECT_EQ(t.seen_.commands.size(), 2u);
  EXPECT_FALSE(is_window(t.dialog_));
  EXPECT_EQ(live_windows(), baseline);
  EXPECT_EQ(send_message(t.edit_, kGetTextLength), 0);
  EXPECT_FALSE(post_message(t.dialog_, kClose));
  destroy_accelerator_table(t.table_);
}

TEST(WindowThreads, ThreadEndDestroysItsWindows) {
  const int baseline = live_windows();
  const int blocks = live_local_blocks();
  std::thread t;
  ASSERT_TRUE(start_thread(t, [] {
    const Window d = create_dialog(kTemplate, 0, nullptr, 0);
    create_edit_control(d, 1, {0, 0, 1, 1});
    create_dialog(kTemplate, d, nullptr, 0);
  }));
  t.join();
  EXPECT_EQ(live_windows(), baseline);
  EXPECT_EQ(live_local_blocks(), blocks);
}

TEST(WindowLayer, OwnedWindowsMenusAndSizesGoWithTheirOwner) {
  const int baseline = live_windows();
  const Window owner = create_dialog(kTemplate, 0, nullptr, 0);
  const Window owned = create_dialog({"Owned", 10, 10, "Lucida Console", 9}, owner, nullptr, 0);
  EXPECT_EQ(window_rect(owner).width, 200);
  EXPECT_EQ(font_description(send_message(owned, kGetFont)).name, "Lucida Console");
  show_window(owned, false);
  EXPECT_FALSE(is_visible(owned));
  EXPECT_EQ(find_window("Owned"), owned);
  EXPECT_EQ(owned_windows(owner), std::vector<Window>{owned});

  const Menu bar = create_menu();
  const Menu popup = create_popup_menu();
  insert_menu_item(popup, -1, {"&Second", 2});
  insert_menu_item(popup, 0, {"&First", 1});
  insert_menu_item(popup, 1, {"", 0, true});
  insert_menu_item(bar, -1, {"&Menu", 0, false, popup});
  set_menu(owner, bar);
  EXPECT_EQ(get_menu(owner), bar);
  EXPECT_EQ(get_sub_menu(bar, 0), popup);
  EXPECT_EQ(get_sub_menu(bar, 1), 0u);
  const auto items = menu_items(popup);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].text, "&First");
  EXPECT_TRUE(items[1].separator);
  EXPECT_EQ(items[2].id, 2);
  EXPECT_EQ(enable_menu_item(bar, 2, true), 0);  // found in the popup
  EXPECT_EQ(enable_menu_item(bar, 2, false), 1);
  EXPECT_EQ(enable_menu_item(bar, 99, true), -1);

  destroy_window(owner);
  EXPECT_FALSE(is_window(owned));
  EXPECT_TRUE(menu_items(popup).empty());
  EXPECT_EQ(live_windows(), baseline);
}

TEST(WindowLayer, MessageBoxesStayOpenUntilClosed) {
  const std::size_t shown = shown_message_boxes().size();
  message_box(0, "body", "Box Title", MessageBoxIcon::kExclamation);
  const Window box = find_window("Box Title");
  ASSERT_NE(box, 0u);
  EXPECT_EQ(window_text(box), "body");
  const auto boxes = shown_message_boxes();
  ASSERT_EQ(boxes.size(), shown + 1);
  EXPECT_EQ(boxes.back().caption, "Box Title");
  EXPECT_EQ(boxes.back().icon, MessageBoxIcon::kExclamation);
  send_message(box, kClose);
  EXPECT_EQ(find_window("Box Title"), 0u);
}

TEST(WindowLayer, InjectedFailures) {
  fail_dialogs(1, 1);
  const Window first = create_dialog(kTemplate, 0, nullptr, 0);
  EXPECT_NE(first, 0u);
  EXPECT_EQ(create_dialog(kTemplate, 0, nullptr, 0), 0u);
  const Window third = create_dialog(kTemplate, 0, nullptr, 0);
  EXPECT_NE(third, 0u);
  destroy_window(first);
  destroy_window(third);
  fail_next_thread_starts(1);
  std::thread t;
  EXPECT_FALSE(start_thread(t, [] {}));
  EXPECT_TRUE(start_thread(t, [] {}));
  t.join();
}

}  // namespace
}  // namespace zun::platform
