// The two front ends show the same tree: after a Load in the real tree view, its items (text and
// nesting) match kxm-dump's output for the same file and options byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/resource.h"
#include "tests/app/dialog_harness.h"
#include "tests/support/kxm_writer.h"
#include "tests/support/sample_model.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

std::vector<std::pair<std::string, KxmWriter>> files() {
  std::vector<std::pair<std::string, KxmWriter>> out;
  out.emplace_back("sample.kxm", KxmWriter::bare().raw(sampleModel()));

  KxmWriter names;  // escaped bytes, the longest labels, an unknown chunk
  names.open(FrameRoot).chunkStr(FrameName, std::string("tab\there\x01\xff\\", 13));
  names.open(FrameMesh)
      .chunkI32(MultipleMaterialCount, 1)
      .open(MultipleMaterials)
      .chunkStr(MultiMaterialName, std::string(127, 'm'))
      .end()
      .end();
  names.close().open(900).close().end().close().end().close();
  out.emplace_back("names.kxm", names);

  KxmWriter cut;  // fails part-way
  cut.head(AnimationSetRoot, 200)
      .chunkStr(AnimationSetName, "cut")
      .head(AnimationSetData, 100)
      .chunkU32(PositionKeyCount, 9)
      .head(PositionData, layout::kPositionKey.size)
      .zeros(20);
  out.emplace_back("cut.kxm", cut);

  KxmWriter deep;  // nested chains and top-level nodes in every root
  deep.open(FrameRoot);
  for (int i = 0; i < 200; ++i) deep.open(i % 2 ? 104 : 105).chunkStr(FrameName, std::to_string(i));
  for (int i = 0; i < 200; ++i) deep.end().close();
  deep.end().close().open(CustomData).zeros(3).close().open(CustomData).close();
  out.emplace_back("deep.kxm", deep);
  return out;
}

TEST(CrossCheck, TreeViewMatchesTheDumpForEveryOptionSetting) {
  ScratchFolder folder;
  Shell shell;
  Dialog dialog(shell);
  for (const auto& [name, writer] : files()) {
    const std::string path = folder.path(name);
    ASSERT_TRUE(writer.save(path));
    for (int names = 0; names < 2; ++names) {
      for (int values = 0; values < 2; ++values) {
        dialog.setChecked(IDC_SHOW_NAMES, names != 0);
        dialog.setChecked(IDC_SHOW_VALUES, values != 0);
        dialog.load(path);
        EXPECT_EQ(controlDump(dialog.hwnd()), memoryDump(path, names != 0, values != 0))
            << name << " names " << names << " values " << values;
      }
    }
  }
}

}  // namespace
}  // namespace kxm::test
