// The main dialog driven with messages: first display, every load outcome with its status line
// and message box, options taken at Load, expand-all, right clicks, and the ways to quit.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "app/center_window.h"
#include "app/load_command.h"
#include "app/resource.h"
#include "tests/app/dialog_harness.h"
#include "tests/support/kxm_writer.h"
#include "tests/support/sample_model.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

constexpr const char* kFourRoots = "FileHeader\nFrames\nAnimationSets\nCustomData\n";

bool expanded(HWND tree, HTREEITEM item) {
  return (TreeView_GetItemState(tree, item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

class MainDialog : public ::testing::Test {
 protected:
  Shell shell;
  ScratchFolder folder;
  std::string sample = folder.path("sample.kxm");
  void SetUp() override { ASSERT_TRUE(KxmWriter::bare().raw(sampleModel()).save(sample)); }
};

TEST_F(MainDialog, FirstDisplay) {
  const INT_PTR result = runModal(shell, [](HWND dialog) {
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
    char text[300];
    GetDlgItemTextA(dialog, IDC_PATH, text, sizeof text);
    EXPECT_STREQ(text, "Untitled.kxm");
    GetDlgItemTextA(dialog, IDC_STATUS, text, sizeof text);
    EXPECT_STREQ(text, "Ready.");
    for (int box : {IDC_SHOW_NAMES, IDC_SHOW_VALUES, IDC_EXPAND_ALL}) {
      EXPECT_EQ(IsDlgButtonChecked(dialog, box), BST_CHECKED);
    }
    EXPECT_EQ(controlDump(dialog), kFourRoots);
    EXPECT_TRUE(GetWindowLongPtrA(GetDlgItem(dialog, IDC_TREE), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    GetWindowTextA(dialog, text, sizeof text);
    EXPECT_STREQ(text, KXM_CAPTION);
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(result, IDCANCEL);
}

TEST_F(MainDialog, QuitEndsTheDialogWithTheCommandsWParam) {
  EXPECT_EQ(runModal(shell, [](HWND d) { SendMessageA(d, WM_COMMAND, MAKEWPARAM(2, 7), 0); }),
            MAKEWPARAM(2, 7));
  EXPECT_EQ(shell.tree.treeControl, nullptr);  // Quit clears the tree
  // The close button and Escape both become the command with id 2.
  EXPECT_EQ(runModal(shell, [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }), IDCANCEL);
  EXPECT_EQ(
      runModal(shell, [](HWND d) { PostMessageA(GetDlgItem(d, IDOK), WM_KEYDOWN, VK_ESCAPE, 0); }),
      IDCANCEL);
}

TEST_F(MainDialog, EnterRunsTheLoadWhereverTheFocusIs) {
  ASSERT_TRUE(KxmWriter().save(folder.path("Untitled.kxm")));
  shell.messageBox = recordMessageBox;
  recordedMessageBoxes().clear();
  std::strcpy(shell.currentPath, folder.path("Untitled.kxm").c_str());
  // Show values is unchecked before Enter: the option follows only if the load command ran.
  for (int focus : {IDC_PATH, IDC_SHOW_NAMES}) {
    shell.ShowValuesOption = 1;
    runModal(shell, [focus](HWND d) {
      CheckDlgButton(d, IDC_SHOW_VALUES, BST_UNCHECKED);
      SetFocus(GetDlgItem(d, focus));
      PostMessageA(GetDlgItem(d, focus), WM_KEYDOWN, VK_RETURN, 0);
      PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(shell.ShowValuesOption, 0) << focus;
    EXPECT_EQ(shell.ShowNamesOption, 1) << focus;
  }
  EXPECT_EQ(recordedMessageBoxes().size(), 0u);
}

TEST_F(MainDialog, EveryLoadOutcomeWithItsStatusBoxAndExplanation) {
  Dialog dialog(shell);
  const std::string empty = folder.path("empty.kxm"), bad = folder.path("bad.kxm");
  ASSERT_TRUE(KxmWriter::bare().save(empty));
  ASSERT_TRUE(KxmWriter::bare().header("MAGICKXM", 2).save(bad));
  const std::string missingBox = "File doesn't exist:\r\n\"";
  const struct {
    std::string path;
    std::string status;
    std::string box;  // empty: none
    FailureCause cause;
  } cases[] = {
      {"Untitled.kxm", "File doesn't exist: \"Untitled.kxm\"", missingBox + "Untitled.kxm\"\r\n",
       FailureCause::None},  // the viewer's own existence test stops it before the load
      {folder.root(), "File doesn't exist: \"" + folder.root() + "\"",
       missingBox + folder.root() + "\"\r\n", FailureCause::None},
      {empty, "Error reading: \"" + empty + "\"", "There was an error reading the file.",
       FailureCause::Truncated},
      {bad, "Error reading: \"" + bad + "\"", "There was an error reading the file.",
       FailureCause::BadHeader},
      {sample, "Ready.", "", FailureCause::None},  // success after failures is ready again
  };
  for (const auto& c : cases) {
    recordedMessageBoxes().clear();
    shell.lastLoad = {};
    dialog.load(c.path);
    EXPECT_EQ(dialog.text(IDC_STATUS), c.status);
    ASSERT_EQ(recordedMessageBoxes().size(), c.box.empty() ? 0u : 1u) << c.path;
    if (!c.box.empty()) {
      const MessageBoxCall& box = recordedMessageBoxes()[0];
      EXPECT_EQ(box.text, c.box);
      EXPECT_EQ(box.caption, "Error");
      EXPECT_EQ(box.type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    }
    // The load explains itself to the shell, though the viewer shows only its fixed texts.
    EXPECT_EQ(shell.lastLoad.failure.cause, c.cause) << c.path;
    EXPECT_EQ(controlDump(dialog.hwnd()),
              c.path == sample ? memoryDump(sample, true, true) : kFourRoots);
  }
}

TEST_F(MainDialog, FailurePartWayKeepsItsNodesExpanded) {
  Dialog dialog(shell);
  const std::string cut = folder.path("cut.kxm");
  KxmWriter w;
  w.head(FrameRoot, 100)
      .chunkStr(FrameName, "kept")
      .head(FrameChild, 60)
      .head(FrameOffset, 12)
      .zeros(4);
  ASSERT_TRUE(w.save(cut));
  dialog.load(cut);
  EXPECT_EQ(dialog.text(IDC_STATUS), "Error reading: \"" + cut + "\"");
  EXPECT_EQ(controlDump(dialog.hwnd()), memoryDump(cut, true, true));
  HWND tree = dialog.item(IDC_TREE);
  HTREEITEM frames = TreeView_GetNextSibling(tree, TreeView_GetRoot(tree));
  HTREEITEM root = TreeView_GetChild(tree, frames);
  EXPECT_TRUE(expanded(tree, frames));
  EXPECT_TRUE(expanded(tree, root));
  const HTREEITEM child = TreeView_GetNextSibling(tree, TreeView_GetChild(tree, root));
  EXPECT_TRUE(expanded(tree, child));  // Frame CHILD
}

TEST_F(MainDialog, OptionsAreTakenOnlyAtLoad) {
  Dialog dialog(shell);
  dialog.load(sample);
  const std::string withNames = controlDump(dialog.hwnd());
  dialog.setChecked(IDC_SHOW_NAMES, false);
  SendMessageA(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SHOW_NAMES, BN_CLICKED),
               reinterpret_cast<LPARAM>(dialog.item(IDC_SHOW_NAMES)));
  EXPECT_EQ(controlDump(dialog.hwnd()), withNames);
  EXPECT_EQ(shell.ShowNamesOption, 1);
  dialog.command(IDOK);
  EXPECT_EQ(shell.ShowNamesOption, 0);
  EXPECT_EQ(controlDump(dialog.hwnd()), memoryDump(sample, false, true));
  dialog.setChecked(IDC_SHOW_VALUES, false);
  dialog.command(IDOK);
  EXPECT_EQ(controlDump(dialog.hwnd()), memoryDump(sample, false, false));
}

TEST_F(MainDialog, ExpandAllOffLeavesEveryNodeCollapsed) {
  Dialog dialog(shell);
  dialog.setChecked(IDC_EXPAND_ALL, false);
  dialog.load(sample);
  HWND tree = dialog.item(IDC_TREE);
  for (HTREEITEM r = TreeView_GetRoot(tree); r != nullptr; r = TreeView_GetNextSibling(tree, r)) {
    EXPECT_FALSE(expanded(tree, r));
  }
  dialog.setChecked(IDC_EXPAND_ALL, true);
  dialog.command(IDOK);
  for (HTREEITEM r = TreeView_GetRoot(tree); r != nullptr; r = TreeView_GetNextSibling(tree, r)) {
    EXPECT_TRUE(expanded(tree, r));
  }
}

TEST_F(MainDialog, PathOverTheBoxLimitIsCutBeforeTheExistenceTest) {
  Dialog dialog(shell);
  const std::string longPath = "C:\\" + std::string(300, 'p') + ".kxm";
  dialog.load(longPath);
  const std::string cut = longPath.substr(0, 255);
  EXPECT_EQ(std::string(shell.currentPath), cut);
  EXPECT_EQ(dialog.text(IDC_STATUS), "File doesn't exist: \"" + cut + "\"");
}

TEST_F(MainDialog, RightClickSelectsTheNodeUnderTheCursorOnly) {
  Dialog dialog(shell);
  ShowWindow(dialog.hwnd(), SW_SHOW);
  dialog.setChecked(IDC_EXPAND_ALL, false);
  dialog.load(sample);
  HWND tree = dialog.item(IDC_TREE);
  HTREEITEM frames = TreeView_GetNextSibling(tree, TreeView_GetRoot(tree));
  auto rightClickAt = [&](POINT client) {
    ClientToScreen(tree, &client);
    SetCursorPos(client.x, client.y);
    NMHDR header{tree, IDC_TREE, static_cast<UINT>(NM_RCLICK)};
    SendMessageA(dialog.hwnd(), WM_NOTIFY, IDC_TREE, reinterpret_cast<LPARAM>(&header));
  };
  RECT rect{};
  std::memcpy(&rect, &frames, sizeof frames);  // TVM_GETITEMRECT takes the item in the rect
  ASSERT_TRUE(SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect)));
  rightClickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
  EXPECT_EQ(TreeView_GetSelection(tree), frames);

  RECT client{};
  GetClientRect(tree, &client);
  rightClickAt({client.right / 2, client.bottom - 5});  // below the four collapsed roots
  EXPECT_EQ(TreeView_GetSelection(tree), frames);
}

// Cancels the open-file dialog as soon as it comes up.
LRESULT CALLBACK cancelOpenFile(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    char title[64] = {};
    GetWindowTextA(reinterpret_cast<HWND>(wParam), title, sizeof title);
    if (std::string(title) == "Open File") {
      PostMessageA(reinterpret_cast<HWND>(wParam), WM_COMMAND, IDCANCEL, 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainDialog, CancelledBrowseChangesNothing) {
  Dialog dialog(shell);
  dialog.load(sample);
  const std::string before = controlDump(dialog.hwnd());
  recordedMessageBoxes().clear();
  HHOOK hook = SetWindowsHookExA(WH_CBT, cancelOpenFile, nullptr, GetCurrentThreadId());
  EXPECT_EQ(BrowseForFile(dialog.hwnd(), shell), 0);
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(dialog.text(IDC_PATH), sample);
  EXPECT_EQ(dialog.text(IDC_STATUS), "Ready.");
  EXPECT_EQ(controlDump(dialog.hwnd()), before);
  EXPECT_EQ(recordedMessageBoxes().size(), 0u);
}

// Reads a real message box as it comes up, then dismisses it.
struct SeenBox {
  std::string caption, text;
  bool warningIcon = false;
};
SeenBox seenBox;
HWND mainDialog = nullptr;  // activated too, and not the box

LRESULT CALLBACK readMessageBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && reinterpret_cast<HWND>(wParam) != mainDialog) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char text[512] = {};
    GetWindowTextA(box, text, sizeof text);
    seenBox.caption = text;
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message text's static
    seenBox.text = text;
    for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
      const HICON icon = reinterpret_cast<HICON>(SendMessageA(c, STM_GETICON, 0, 0));
      if (icon != nullptr && icon == LoadIconA(nullptr, MAKEINTRESOURCEA(32515))) {
        seenBox.warningIcon = true;  // IDI_WARNING
      }
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainDialog, RealMessageBoxShowsTheTextCaptionAndIcon) {
  Dialog dialog(shell);
  shell.messageBox = MessageBoxA;
  seenBox = {};
  mainDialog = dialog.hwnd();
  HHOOK hook = SetWindowsHookExA(WH_CBT, readMessageBox, nullptr, GetCurrentThreadId());
  dialog.load("Untitled.kxm");
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(seenBox.caption, "Error");
  EXPECT_EQ(seenBox.text, "File doesn't exist:\r\n\"Untitled.kxm\"\r\n");
  EXPECT_TRUE(seenBox.warningIcon);
}

TEST(CenterWindow, CentresOnTheReferenceAndStaysOnScreen) {
  auto window = [](int x, int y, int w, int h) {
    return CreateWindowExA(0, "STATIC", "", WS_POPUP, x, y, w, h, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  };
  HWND reference = window(0, 0, 1000, 800);
  HWND moved = window(50, 50, 400, 300);
  ASSERT_TRUE(CenterWindow(moved, reference));
  RECT r{};
  GetWindowRect(moved, &r);
  EXPECT_EQ(r.left, 300);
  EXPECT_EQ(r.top, 250);

  HWND wide = window(0, 0, GetSystemMetrics(SM_CXSCREEN) + 200, 100);
  ASSERT_TRUE(CenterWindow(wide, GetDesktopWindow()));
  GetWindowRect(wide, &r);
  EXPECT_EQ(r.left, 0);

  HWND low = window(0, 0, 100, 100);
  RECT screen{};
  GetWindowRect(GetDesktopWindow(), &screen);
  HWND offscreen = window(screen.right - 50, screen.bottom - 50, 400, 400);
  ASSERT_TRUE(CenterWindow(low, offscreen));  // would run off the bottom right
  GetWindowRect(low, &r);
  EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));

  EXPECT_EQ(CenterWindow(nullptr, reference), 0);
  EXPECT_EQ(CenterWindow(moved, nullptr), 0);
  for (HWND w : {reference, moved, wide, low, offscreen}) DestroyWindow(w);
}

TEST(FileExists, FilesOnlyAndNoNull) {
  ScratchFolder folder;
  ASSERT_TRUE(KxmWriter().save(folder.path("a.kxm")));
  EXPECT_EQ(FileExists(folder.path("a.kxm").c_str()), 1);
  EXPECT_EQ(FileExists(folder.path("b.kxm").c_str()), 0);
  EXPECT_EQ(FileExists(folder.root().c_str()), 0);
  EXPECT_EQ(FileExists(nullptr), 0);
}

}  // namespace
}  // namespace kxm::test
