// Files nested a million deep in the real tree view control: load, expand all, load again and
// quit, without a crash or a hang. Nesting beyond what the control holds fails the load cleanly.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "app/resource.h"
#include "tests/app/dialog_harness.h"
#include "tests/support/kxm_writer.h"
#include "tests/support/sample_model.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

constexpr int kDeep = 1000000;

int treeDepth(HWND tree) {
  // The deepest item: follow first children from each root, the chains here are straight.
  int deepest = 0;
  for (HTREEITEM root = TreeView_GetRoot(tree); root != nullptr;
       root = TreeView_GetNextSibling(tree, root)) {
    int depth = 0;
    for (HTREEITEM item = root; item != nullptr; item = TreeView_GetChild(tree, item)) {
      deepest = std::max(deepest, depth++);
    }
  }
  return deepest;
}

class DeepFiles : public ::testing::Test {
 protected:
  Shell shell;
  ScratchFolder folder;

  // Loads, checks what shows, loads the sample over it and quits the modal dialog.
  void loadThenReplace(const KxmWriter& file, const std::string& status, int maxDepth) {
    const std::string path = folder.path("deep.kxm"), sample = folder.path("sample.kxm");
    ASSERT_TRUE(file.save(path));
    ASSERT_TRUE(KxmWriter::bare().raw(sampleModel()).save(sample));
    shell.messageBox = recordMessageBox;
    std::strcpy(shell.currentPath, path.c_str());
    const INT_PTR result = runModal(shell, [&](HWND dialog) {
      SendMessageA(dialog, WM_COMMAND, IDOK, 0);  // Expand all is checked
      char text[512] = {};
      GetDlgItemTextA(dialog, IDC_STATUS, text, sizeof text);
      EXPECT_EQ(std::string(text), status + (status == "Ready." ? "" : "\"" + path + "\""));
      EXPECT_LE(treeDepth(GetDlgItem(dialog, IDC_TREE)), maxDepth);
      SetDlgItemTextA(dialog, IDC_PATH, sample.c_str());
      SendMessageA(dialog, WM_COMMAND, IDOK, 0);
      GetDlgItemTextA(dialog, IDC_STATUS, text, sizeof text);
      EXPECT_STREQ(text, "Ready.");
      EXPECT_EQ(controlDump(dialog), memoryDump(sample, true, true));
      SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(result, IDCANCEL);
  }
};

TEST_F(DeepFiles, ChildChainAMillionDeepFailsAtTheControlsDepth) {
  KxmWriter w;
  w.open(FrameRoot);
  for (int i = 1; i < kDeep; ++i) w.open(FrameChild);
  for (int i = 0; i < kDeep; ++i) w.end().close();
  loadThenReplace(w, "Error reading: ", 1024);
}

TEST_F(DeepFiles, AnimationChainAMillionDeepFailsAtTheControlsDepth) {
  KxmWriter w;
  w.open(AnimationSetRoot).open(AnimationSetData);
  for (int i = 1; i < kDeep; ++i) w.open(NextAnimation);
  for (int i = 0; i < kDeep; ++i) w.end().close();
  w.close();
  loadThenReplace(w, "Error reading: ", 1024);
}

TEST_F(DeepFiles, SiblingChainShowsFlat) {
  // Siblings nest in the file but stand side by side in the tree. Under Wine every tree view
  // message costs time in proportion to the items already there, so this one stays at 10,000.
  constexpr int kSiblings = 10000;
  KxmWriter w;
  w.open(FrameRoot);
  for (int i = 1; i < kSiblings; ++i) w.open(FrameSibling);
  for (int i = 0; i < kSiblings; ++i) w.end().close();
  loadThenReplace(w, "Ready.", 3);
}

}  // namespace
}  // namespace kxm::test
