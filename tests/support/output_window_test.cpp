// The output window driven through the window layer: opening on the first line, the trimming
// of a full text, menus and commands with their grey items, closing, the exit for good,
// remembered failures, and the line writer's road to the window when there is no console.
#include "library/support/output_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "library/platform/units.h"
#include "library/platform/window.h"
#include "library/support/output.h"

namespace zun {
namespace {

using namespace platform;
namespace ids = output_window_ids;

constexpr OutputWindowTiming kFast{0, 1, 5000};
// What a user sees, written out here so that a changed constant in the code shows.
constexpr const char* kWindowTitle = "ZUN Library Output Window";
constexpr const char* kAboutTitle = "About ZUN";
constexpr int kTextLimit = 100000;

void append(OutputWindow& w, const std::string& line) {
  w.append(line.data(), static_cast<int>(line.size()));
}

Window edit_of(const OutputWindow& w) { return get_dialog_item(w.dialog(), ids::kEditControl); }

Param command(const OutputWindow& w, int id) {
  return send_message(w.dialog(), kCommand, static_cast<Param>(id));
}

std::pair<int, int> selection_of(Window edit) {
  int start = -1, end = -1;
  send_message(edit, kEditGetSelection, reinterpret_cast<Param>(&start),
               reinterpret_cast<Param>(&end));
  return {start, end};
}

// A dialog's title, size in pixels (two a dialog unit), font and visibility.
using DialogLook = std::tuple<std::string, int, int, std::string, int, bool>;
DialogLook look_of(Window dialog) {
  const Rect r = window_rect(dialog);
  const Font f = font_description(window_font(dialog));
  return {window_text(dialog), r.width, r.height, f.name, f.points, is_visible(dialog)};
}

// Waits (at most 5 s) until PRED holds; for effects of posted messages.
template <class Pred>
bool eventually(Pred pred) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The lines of the window's text; false when it does not end with a line end or holds a
// stray CR or LF (a partial insertion left behind).
bool split_lines(const std::string& text, std::vector<std::string>* lines) {
  lines->clear();
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) return false;
    const std::string line = text.substr(start, end - start);
    if (line.find_first_of("\r\n") != std::string::npos) return false;
    lines->push_back(line);
    start = end + 2;
  }
  return true;
}

std::vector<std::pair<std::string, bool>> grey_states(Menu menu) {
  std::vector<std::pair<std::string, bool>> out;
  for (const MenuItem& item : menu_items(menu)) {
    if (!item.separator) out.emplace_back(item.text, item.grey);
  }
  return out;
}

class OutputWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    windows_ = live_windows();
    blocks_ = live_local_blocks();
  }
  void TearDown() override {
    window_.close();
    EXPECT_EQ(live_windows(), windows_);
    EXPECT_EQ(live_local_blocks(), blocks_);
  }
  OutputWindow window_{kFast};
  int windows_ = 0;
  int blocks_ = 0;
};

TEST_F(OutputWindowTest, FirstLineOpensTheWindowWithItsControlsAndMenu) {
  EXPECT_FALSE(window_.ready());
  append(window_, "first line");
  ASSERT_TRUE(window_.ready());
  const Window dialog = window_.dialog();
  EXPECT_EQ(find_window(kWindowTitle), dialog);
  // The window, then its hidden font sources from the second and the main template.
  std::vector<DialogLook> dialogs = {look_of(dialog)};
  for (Window w : owned_windows(dialog)) dialogs.push_back(look_of(w));
  const std::vector<DialogLook> expected_dialogs = {
      {kWindowTitle, 700, 360, "Arial", 9, true},
      {kWindowTitle, 700, 440, "Lucida Console", 9, false},
      {kWindowTitle, 700, 360, "Arial", 9, false}};
  EXPECT_EQ(dialogs, expected_dialogs);
  const Window edit = edit_of(window_);
  const Rect created = window_rect(edit);  // no size message has moved it yet
  EXPECT_EQ(std::vector<int>({created.x, created.y, created.width, created.height}),
            (std::vector<int>{0, 0, 600, 400}));
  EXPECT_EQ(window_text(edit), "first line\r\n");
  EXPECT_EQ(text_limit(edit), kTextLimit);
  EXPECT_EQ(font_description(window_font(edit)).name, "Arial");
  EXPECT_EQ(font_description(window_font(edit)).points, 9);
  const IconImage icon = large_icon(dialog);
  EXPECT_EQ(icon.width, 32);
  EXPECT_EQ(icon.height, 32);
  EXPECT_EQ(icon.colours, 16);
  EXPECT_EQ(icon.pixels.size(), 32u * 32u);

  const Menu bar = get_menu(dialog);
  const auto top = menu_items(bar);
  ASSERT_EQ(top.size(), 4u);
  EXPECT_EQ(top[0].text, "&File ");
  EXPECT_EQ(top[1].text, "&Edit ");
  EXPECT_EQ(top[2].text, "F&ont ");
  EXPECT_EQ(top[3].text, "&About ");
  EXPECT_EQ(top[3].id, ids::kAbout);
  EXPECT_EQ(top[3].popup, 0u);
  std::vector<std::pair<std::string, int>> items;
  for (int pos = 0; pos < 3; ++pos) {
    for (const MenuItem& item : menu_items(get_sub_menu(bar, pos))) {
      items.emplace_back(item.separator ? "-" : item.text, item.id);
    }
  }
  const std::vector<std::pair<std::string, int>> expected = {{"&Close (until more output)", 1109},
                                                             {"&Exit (permanently)", 1110},
                                                             {"&Undo\tCtrl+Z", 1113},
                                                             {"-", 0},
                                                             {"Toggle &Readonly\tCtrl+R", 1112},
                                                             {"Select &All\tCtrl+A", 1101},
                                                             {"Cu&t\tCtrl+X", 1102},
                                                             {"&Copy\tCtrl+C", 1103},
                                                             {"&Paste\tCtrl+V", 1104},
                                                             {"-", 0},
                                                             {"Clea&r All", 1105},
                                                             {"&Arial", 1114},
                                                             {"&Console", 1115}};
  EXPECT_EQ(items, expected);

  append(window_, "second line   ");
  append(window_, "");
  EXPECT_EQ(window_text(edit), "first line\r\nsecond line   \r\n\r\n");
}

struct FillCase {
  const char* name;
  int min_length;
  int max_length;
  int lines;
};

class OutputWindowFill : public OutputWindowTest, public ::testing::WithParamInterface<FillCase> {};

// Past the text limit the oldest lines go: the text always holds whole lines, the newest ones
// in order, and never falls far below the limit.
TEST_P(OutputWindowFill, KeepsTheNewestWholeLines) {
  const FillCase c = GetParam();
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> length(c.min_length, c.max_length);
  std::vector<std::string> written;
  for (int i = 0; i < c.lines; ++i) {
    std::string line = std::to_string(i) + ":";
    line.resize(static_cast<std::size_t>(std::max(length(random), 8)), 'a' + i % 26);
    append(window_, line);
    written.push_back(line);
  }
  const std::string text = window_text(edit_of(window_));
  std::vector<std::string> shown;
  ASSERT_TRUE(split_lines(text, &shown));
  EXPECT_LE(text.size(), static_cast<std::size_t>(kTextLimit));
  ASSERT_FALSE(shown.empty());
  const std::vector<std::string> newest(written.end() - static_cast<long>(shown.size()),
                                        written.end());
  EXPECT_EQ(shown, newest);
  // The last trimming took at most ten lines, those just before the first one shown, to make
  // room for a line no longer than the longest shown.
  const std::size_t first = written.size() - shown.size();
  std::size_t room = 0;
  for (std::size_t i = first >= 10 ? first - 10 : 0; i < first; ++i) room += written[i].size() + 2;
  std::size_t longest = 0;
  for (const std::string& line : shown) longest = std::max(longest, line.size() + 2);
  EXPECT_GE(text.size() + room + longest, static_cast<std::size_t>(kTextLimit));
  EXPECT_TRUE(redraw_enabled(edit_of(window_)));
}

INSTANTIATE_TEST_SUITE_P(Lengths,
                         OutputWindowFill,
                         ::testing::Values(FillCase{"even", 998, 998, 260},
                                           FillCase{"mixed", 10, 3000, 400},
                                           FillCase{"short", 20, 60, 3000}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TrimCase {
  const char* name;
  int length;
  bool shown;
};

class OutputWindowTrim : public OutputWindowTest, public ::testing::WithParamInterface<TrimCase> {};

// A full text of 100 lines of one character and a long last line: each attempt removes ten of
// the short lines (30 characters), so a line of 298 characters (300 with its line end) goes in
// at the tenth attempt; a line one character longer, or one that can never fit, is dropped.
TEST_P(OutputWindowTrim, TenAttemptsOfTenLinesAtMost) {
  const TrimCase c = GetParam();
  for (int i = 0; i < 100; ++i) append(window_, std::to_string(i % 10));
  const std::string filler(kTextLimit - 300 - 2, 'f');
  append(window_, filler);
  const Window edit = edit_of(window_);
  ASSERT_EQ(window_text(edit).size(), static_cast<std::size_t>(kTextLimit));
  const std::string line(static_cast<std::size_t>(c.length), 'n');
  append(window_, line);
  EXPECT_EQ(window_text(edit), filler + "\r\n" + (c.shown ? line + "\r\n" : ""));
  EXPECT_TRUE(redraw_enabled(edit));
}

INSTANTIATE_TEST_SUITE_P(Lengths,
                         OutputWindowTrim,
                         ::testing::Values(TrimCase{"tenAttempts", 298, true},
                                           TrimCase{"elevenAttempts", 299, false},
                                           TrimCase{"neverFits", kTextLimit + 50, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct KeyCase {
  char key;
  int before;  // a command given before the key, or 0
  std::string text;
  std::string clipboard;
  std::pair<int, int> selection;
  bool read_only;
};

class OutputWindowKeys : public OutputWindowTest, public ::testing::WithParamInterface<KeyCase> {};

// Ctrl and a key through the window's message loop, on "alpha" selected and "zz" on the
// clipboard; a size message posted behind the key tells when the loop has handled it.
TEST_P(OutputWindowKeys, GiveTheirCommands) {
  const KeyCase c = GetParam();
  append(window_, "alpha");
  append(window_, "beta");
  const Window edit = edit_of(window_);
  set_clipboard_text("zz");
  send_message(edit, kEditSetSelection, 0, 5);
  if (c.before != 0) command(window_, c.before);
  post_message(window_.dialog(), kKeyDown, c.key, kControlKey);
  post_message(window_.dialog(), kSize, 0, 300 | (200 << kCommandShift));
  ASSERT_TRUE(eventually([&] { return window_rect(edit).width == 296; }));
  EXPECT_EQ(window_text(edit), c.text);
  EXPECT_EQ(clipboard_text(), c.clipboard);
  EXPECT_EQ(selection_of(edit), c.selection);
  EXPECT_EQ((window_style(edit) & kReadOnlyStyle) != 0, c.read_only);
}

const std::string kTwoLines = "alpha\r\nbeta\r\n";

INSTANTIATE_TEST_SUITE_P(
    Accelerators,
    OutputWindowKeys,
    ::testing::Values(KeyCase{'A', 0, kTwoLines, "zz", {0, 13}, false},
                      KeyCase{'C', 0, kTwoLines, "alpha", {0, 5}, false},
                      KeyCase{'X', 0, "\r\nbeta\r\n", "alpha", {0, 0}, false},
                      KeyCase{'V', 0, "zz\r\nbeta\r\n", "zz", {2, 2}, false},
                      KeyCase{'R', 0, kTwoLines, "zz", {0, 5}, true},
                      KeyCase{'Z', ids::kCut, kTwoLines, "alpha", {13, 13}, false}),
    [](const auto& info) { return std::string(1, info.param.key); });

TEST_F(OutputWindowTest, ReadOnlyGreysTheWritingItemsAndBlocksOnlyTheUser) {
  append(window_, "alpha");
  append(window_, "beta");
  const Window edit = edit_of(window_);
  const Menu edit_menu = get_sub_menu(get_menu(window_.dialog()), 1);
  command(window_, ids::kToggleReadOnly);
  ASSERT_NE(window_style(edit) & kReadOnlyStyle, 0);
  const std::vector<std::pair<std::string, bool>> grey = {{"&Undo\tCtrl+Z", true},
                                                          {"Toggle &Readonly\tCtrl+R", false},
                                                          {"Select &All\tCtrl+A", false},
                                                          {"Cu&t\tCtrl+X", true},
                                                          {"&Copy\tCtrl+C", false},
                                                          {"&Paste\tCtrl+V", true},
                                                          {"Clea&r All", true}};
  EXPECT_EQ(grey_states(edit_menu), grey);

  const std::string text = "alpha\r\nbeta\r\n";
  set_clipboard_text("pasted");
  send_message(edit, kEditSetSelection, 0, 5);
  for (int id : {ids::kCut, ids::kPaste, ids::kClearAll, ids::kUndo}) command(window_, id);
  EXPECT_EQ(window_text(edit), text);
  EXPECT_EQ(selection_of(edit), std::make_pair(0, 5));
  EXPECT_EQ(clipboard_text(), "pasted");
  command(window_, ids::kSelectAll);
  EXPECT_EQ(focus_window(), edit);
  EXPECT_EQ(selection_of(edit), std::make_pair(0, 13));
  command(window_, ids::kCopy);
  EXPECT_EQ(clipboard_text(), text);
  append(window_, "gamma");  // the program still writes
  EXPECT_EQ(window_text(edit), text + "gamma\r\n");

  command(window_, ids::kToggleReadOnly);
  EXPECT_EQ(window_style(edit) & kReadOnlyStyle, 0);
  for (const auto& [item, is_grey] : grey_states(edit_menu)) EXPECT_FALSE(is_grey) << item;
  command(window_, ids::kClearAll);
  EXPECT_EQ(window_text(edit), "");
  EXPECT_EQ(clipboard_text(), text + "gamma\r\n");
  command(window_, ids::kUndo);
  EXPECT_EQ(window_text(edit), text + "gamma\r\n");
  command(window_, ids::kSelectAll);
  command(window_, ids::kPaste);
  EXPECT_EQ(window_text(edit), text + "gamma\r\n");
}

TEST_F(OutputWindowTest, FontsSizeAndAbout) {
  append(window_, "line");
  const Window edit = edit_of(window_);
  command(window_, ids::kFontConsole);
  EXPECT_EQ(font_description(window_font(edit)).name, "Lucida Console");
  EXPECT_TRUE(is_visible(edit));
  command(window_, ids::kFontArial);
  EXPECT_EQ(font_description(window_font(edit)).name, "Arial");

  move_window(window_.dialog(), {10, 10, 500, 300});
  const Rect r = window_rect(edit);
  EXPECT_EQ(r.x, 2);
  EXPECT_EQ(r.y, 2);
  EXPECT_EQ(r.width, 496);
  EXPECT_EQ(r.height, 296);

  const std::size_t shown = shown_message_boxes().size();
  command(window_, ids::kAbout);
  command(window_, ids::kAbout);
  const auto boxes = shown_message_boxes();
  ASSERT_EQ(boxes.size(), shown + 2);
  EXPECT_EQ(boxes.back().caption, kAboutTitle);
  EXPECT_EQ(boxes.back().icon, MessageBoxIcon::kInformation);
  const std::size_t at = boxes.back().text.find("(c) ");
  ASSERT_NE(at, std::string::npos);
  const int year = std::stoi(boxes.back().text.substr(at + 4, 4));
  EXPECT_GE(year, 2006);
  EXPECT_LE(year, 2100);
  // The second About closed the first box: one is open.
  const Window box = find_window(kAboutTitle);
  ASSERT_NE(box, 0u);
  send_message(box, kClose);
  EXPECT_EQ(find_window(kAboutTitle), 0u);
}

TEST_F(OutputWindowTest, CloseUntilMoreOutputReopensAFreshWindow) {
  append(window_, "before");
  command(window_, ids::kToggleReadOnly);
  const Window first = window_.dialog();
  command(window_, ids::kCloseUntilMoreOutput);
  EXPECT_FALSE(window_.ready());
  EXPECT_EQ(window_.dialog(), 0u);
  EXPECT_FALSE(is_window(first));
  EXPECT_EQ(find_window(kWindowTitle), 0u);

  append(window_, "after");
  ASSERT_TRUE(window_.ready());
  EXPECT_NE(window_.dialog(), first);
  EXPECT_EQ(window_text(edit_of(window_)), "after\r\n");
  EXPECT_EQ(window_style(edit_of(window_)) & kReadOnlyStyle, 0);
}

TEST_F(OutputWindowTest, ExitPermanentlyDropsEveryLaterLine) {
  append(window_, "last shown");
  post_message(window_.dialog(), kCommand, ids::kExitPermanently);
  ASSERT_TRUE(eventually([&] { return !window_.ready(); }));
  EXPECT_TRUE(window_.closed_for_good());
  window_.close();  // the thread has ended
  const int windows = live_windows();
  for (int i = 0; i < 3; ++i) append(window_, "dropped");
  EXPECT_FALSE(window_.ready());
  EXPECT_EQ(live_windows(), windows);
  EXPECT_EQ(find_window(kWindowTitle), 0u);
}

TEST_F(OutputWindowTest, FailedDialogIsReportedOnceAndRemembered) {
  const std::size_t shown = shown_message_boxes().size();
  fail_dialogs(1);
  append(window_, "lost");
  EXPECT_TRUE(window_.failed());
  EXPECT_FALSE(window_.ready());
  auto boxes = shown_message_boxes();
  ASSERT_EQ(boxes.size(), shown + 1);
  EXPECT_EQ(boxes.back().text, "Failed to create ZUN output dialog");
  EXPECT_EQ(boxes.back().caption, "Error");
  EXPECT_EQ(boxes.back().icon, MessageBoxIcon::kInformation);
  append(window_, "also lost");  // no new thread, no new box
  EXPECT_EQ(shown_message_boxes().size(), shown + 1);
  send_message(find_window("Error"), kClose);
}

TEST_F(OutputWindowTest, FailedThreadStartIsReportedOnceAndRemembered) {
  const std::size_t shown = shown_message_boxes().size();
  fail_next_thread_starts(1);
  append(window_, "lost");
  EXPECT_TRUE(window_.failed());
  auto boxes = shown_message_boxes();
  ASSERT_EQ(boxes.size(), shown + 1);
  EXPECT_EQ(boxes.back().text, "Could not start new thread for ZUN Output Window");
  EXPECT_EQ(boxes.back().caption, "Failed to create ZUN Output Window");
  EXPECT_EQ(boxes.back().icon, MessageBoxIcon::kExclamation);
  append(window_, "also lost");
  EXPECT_EQ(shown_message_boxes().size(), shown + 1);
  EXPECT_FALSE(window_.ready());
  send_message(find_window("Failed to create ZUN Output Window"), kClose);
}

TEST_F(OutputWindowTest, FontMenuNeedsBothFontSources) {
  fail_dialogs(1, 1);  // the main dialog comes up; the first font source does not
  append(window_, "line");
  ASSERT_TRUE(window_.ready());
  std::vector<std::string> titles;
  for (const MenuItem& item : menu_items(get_menu(window_.dialog()))) titles.push_back(item.text);
  EXPECT_EQ(titles, (std::vector<std::string>{"&File ", "&Edit ", "&About "}));
  command(window_, ids::kFontConsole);  // no source: the font stays
  EXPECT_EQ(font_description(window_font(edit_of(window_))).name, "Arial");
}

// A user closing the window while the program writes: every line lands whole, in order, in the
// window open at the time, or is dropped; nothing is left half-written.
TEST_F(OutputWindowTest, ClosingWhileWritingLeavesWholeOrderedLines) {
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 300; ++i) append(window_, "line " + std::to_string(i));
    done = true;
  });
  for (int closes = 0; closes < 5 && !done; ++closes) {
    ASSERT_TRUE(eventually([&] { return window_.ready() || done; }));
    const Window dialog = window_.dialog();
    if (dialog != 0) send_message(dialog, kCommand, ids::kCloseUntilMoreOutput);
  }
  writer.join();
  std::vector<std::string> shown;
  ASSERT_TRUE(split_lines(window_text(edit_of(window_)), &shown));
  int previous = -1;
  for (const std::string& line : shown) {
    ASSERT_EQ(line.rfind("line ", 0), 0u) << line;
    const int n = std::stoi(line.substr(5));
    EXPECT_GT(n, previous);
    previous = n;
  }
}

// The line writer without a console: standard output closed, lines go to the program's window,
// also from a unit opened on the console device; a unit on a file still writes its file.
TEST(LineWriterWithoutConsole, SendsConsoleLinesToTheWindow) {
  const std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child starts with no threads
  EXPECT_EXIT(
      {
        const std::string path = "/tmp/zun_no_console_" + std::to_string(getpid()) + ".txt";
        platform::open_unit(21, path);
        platform::open_unit(22, platform::kConsoleDeviceName);
        std::fflush(stdout);
        close(STDOUT_FILENO);
        write_line(6, "standard output line   ", 23);
        write_line(22, "console device line", 19);
        write_line(21, "file line", 9);
        bool console = true;
        append_output_line(console, "direct", 6);
        const Window dialog = find_window(kWindowTitle);
        const std::string text =
            window_text(get_dialog_item(dialog, output_window_ids::kEditControl));
        platform::flush_units();
        std::string file_line;
        std::getline(std::ifstream(path), file_line);
        std::remove(path.c_str());
        const bool ok = !console && dialog != 0 && file_line == "file line" &&
                        text == "standard output line\r\nconsole device line\r\ndirect\r\n";
        std::exit(ok ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  GTEST_FLAG_SET(death_test_style, style);
}

TEST(LineWriterWithConsole, NeverOpensAWindow) {
  const int windows = live_windows();
  bool console = false;
  ::testing::internal::CaptureStdout();
  append_output_line(console, "not shown", 9);
  write_line(6, "to stdout", 9);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "to stdout\n");
  EXPECT_TRUE(console);
  EXPECT_EQ(live_windows(), windows);
  EXPECT_EQ(find_window(kWindowTitle), 0u);
}

}  // namespace
}  // namespace zun
