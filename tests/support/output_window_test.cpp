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
#include <vector>

#include "library/platform/units.h"
#include "library/platform/window.h"
#include "library/support/output.h"

namespace zun {
namespace {

using namespace platform;
namespace ids = output_window_ids;

constexpr OutputWindowTiming kFast{0, 1, 5000};

void append(OutputWindow& w, const std::string& line) {
  w.append(line.data(), static_cast<int>(line.size()));
}

Window edit_of(const OutputWindow& w) { return get_dialog_item(w.dialog(), ids::kEditControl); }

Param command(const OutputWindow& w, int id) {
  return send_message(w.dialog(), kCommand, static_cast<Param>(id));
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
  EXPECT_EQ(find_window(kOutputWindowTitle), dialog);
  EXPECT_TRUE(is_visible(dialog));
  EXPECT_EQ(window_rect(dialog).width, 700);
  const Window edit = edit_of(window_);
  EXPECT_EQ(window_text(edit), "first line\r\n");
  EXPECT_EQ(text_limit(edit), kOutputTextLimit);
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
  EXPECT_LE(text.size(), static_cast<std::size_t>(kOutputTextLimit));
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
  EXPECT_GE(text.size() + room + longest, static_cast<std::size_t>(kOutputTextLimit));
  EXPECT_TRUE(redraw_enabled(edit_of(window_)));
}

INSTANTIATE_TEST_SUITE_P(Lengths,
                         OutputWindowFill,
                         ::testing::Values(FillCase{"even", 998, 998, 260},
                                           FillCase{"mixed", 10, 3000, 400},
                                           FillCase{"short", 20, 60, 3000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OutputWindowTest, LineThatCanNeverFitIsDroppedWhole) {
  append(window_, "kept");
  const std::string huge(kOutputTextLimit + 50, 'x');
  append(window_, huge);
  std::vector<std::string> shown;
  ASSERT_TRUE(split_lines(window_text(edit_of(window_)), &shown));
  EXPECT_TRUE(shown.empty());  // the oldest lines went in the attempts, the line did not fit
  append(window_, "after");
  EXPECT_EQ(window_text(edit_of(window_)), "after\r\n");
}

TEST_F(OutputWindowTest, ReadOnlyGreysTheWritingItemsAndBlocksOnlyTheUser) {
  append(window_, "alpha");
  append(window_, "beta");
  const Window edit = edit_of(window_);
  const Menu edit_menu = get_sub_menu(get_menu(window_.dialog()), 1);
  // Ctrl+R through the accelerator table of the message loop.
  post_message(window_.dialog(), kKeyDown, 'R', kControlKey);
  ASSERT_TRUE(eventually([&] { return (window_style(edit) & kReadOnlyStyle) != 0; }));
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
  command(window_, ids::kSelectAll);
  EXPECT_EQ(focus_window(), edit);
  for (int id : {ids::kCut, ids::kPaste, ids::kClearAll, ids::kUndo}) command(window_, id);
  EXPECT_EQ(window_text(edit), text);
  EXPECT_EQ(clipboard_text(), "pasted");
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
  EXPECT_EQ(boxes.back().caption, kAboutCaption);
  EXPECT_EQ(boxes.back().icon, MessageBoxIcon::kInformation);
  const std::size_t at = boxes.back().text.find("(c) ");
  ASSERT_NE(at, std::string::npos);
  const int year = std::stoi(boxes.back().text.substr(at + 4, 4));
  EXPECT_GE(year, 2006);
  EXPECT_LE(year, 2100);
  // The second About closed the first box: one is open.
  const Window box = find_window(kAboutCaption);
  ASSERT_NE(box, 0u);
  send_message(box, kClose);
  EXPECT_EQ(find_window(kAboutCaption), 0u);
}

TEST_F(OutputWindowTest, CloseUntilMoreOutputReopensAFreshWindow) {
  append(window_, "before");
  command(window_, ids::kToggleReadOnly);
  const Window first = window_.dialog();
  command(window_, ids::kCloseUntilMoreOutput);
  EXPECT_FALSE(window_.ready());
  EXPECT_EQ(window_.dialog(), 0u);
  EXPECT_FALSE(is_window(first));
  EXPECT_EQ(find_window(kOutputWindowTitle), 0u);

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
  EXPECT_EQ(find_window(kOutputWindowTitle), 0u);
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
        const Window dialog = find_window(kOutputWindowTitle);
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
  EXPECT_EQ(find_window(kOutputWindowTitle), 0u);
}

}  // namespace
}  // namespace zun
