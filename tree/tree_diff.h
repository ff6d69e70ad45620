// What differs between two KXM files, as a person comparing two versions of a model wants it:
// each file's tree as the viewer shows it, the two trees paired from the roots down (frames,
// animation sets and animations by name, then by place; other chunks by code and place, so that
// a chunk in one file only is added or removed, not every later line changed), then a value
// chunk's two values and a data chunk's elements; a file that fails to load compared as far as
// it loaded. kxm diff writes the differences as lines or JSON, the browser marks them in both
// trees: one pairing for both.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "model/block.h"
#include "reader/load.h"
#include "reader/load_failure.h"
#include "tree/memory_tree.h"

namespace kxm {

struct DiffOptions {
  bool showNames = true;
  bool showValues = true;
  double epsilon = 0;  // floats this close are the same
};

// One file: its bytes and the tree the viewer shows of them, with each node's source; a file that
// failed to load keeps the tree as far as it loaded.
struct DiffSide {
  explicit DiffSide(const BlockSource& blocks = systemBlocks()) : tree(true, blocks) {}

  std::span<const std::uint8_t> bytes;  // the caller's, kept while the side is compared
  mutable MemoryTreeControl tree;       // read only; its walk is not const
  LoadFailure failure;                  // none when the file loaded whole

  // Loads `file` into the tree under the options' Show names and Show values. The outcome; a
  // failure with an offset is kept as the side's (what was read before it is compared).
  LoadOutcome load(std::span<const std::uint8_t> file, const DiffOptions& options,
                   const BlockSource& blocks = systemBlocks());

  std::string_view label(NodeHandle node) const { return tree.text(node); }
  NodeSource source(NodeHandle node) const { return tree.itemSource(node); }
  // `n` bytes at `offset`, or nullptr when the file ends before them.
  const std::uint8_t* at(std::uint64_t offset, std::uint64_t n) const {
    return offset <= bytes.size() && n <= bytes.size() - offset ? bytes.data() + offset : nullptr;
  }
  // A chunk's payload, clamped to the file (a chunk may claim more than the file holds).
  std::pair<const std::uint8_t*, std::uint32_t> payload(NodeHandle node) const;
  // The name a frame, an animation set or an animation goes by: its name chunk's string, read
  // from the file; nothing for other nodes and for those without one.
  std::optional<std::string_view> objectName(NodeHandle node) const;
  // Whether the node is a frame, an animation set or an animation (what pairs by name).
  bool isNamedObject(NodeHandle node) const;
};

// Where a difference lies in one file: the node (0 where the file has none) and the byte it
// starts at, where that is more than the node's own start (an element's field, a failure).
struct DiffPlace {
  NodeHandle node = 0;
  std::optional<std::uint32_t> byte;
};

struct Difference {
  const char* kind = "";  // added, removed, moved, changed, value, count, content, failed
  std::string path;       // empty for a failure
  std::string text;
  std::string from, to;  // the two values, where they are what differs
  DiffPlace a, b;
};

// Where the differences go: listed up to a limit, every one counted.
class DiffReport {
 public:
  explicit DiffReport(std::uint64_t most) : most_(most) {}
  virtual ~DiffReport() = default;

  // Whether the next difference is listed: only then is its path worth making.
  bool listing() const { return count_ < most_; }
  void add(const Difference& difference) {
    if (count_++ < most_) list(difference);
  }
  void skip() { ++count_; }
  std::uint64_t count() const { return count_; }
  // Each pair of nodes the walk pairs, present in both files; a view keeps its trees in step.
  virtual void paired(NodeHandle, NodeHandle) {}

 protected:
  virtual void list(const Difference& difference) = 0;

 private:
  std::uint64_t most_;
  std::uint64_t count_ = 0;
};

// Pairs the two trees from their roots down and reports what differs, then each file's failure
// (both failing alike is no difference).
void diffFiles(const DiffOptions& options, DiffSide& a, DiffSide& b, DiffReport& report);

// The path of a node as a difference names it: from the root down, each frame with its name and
// each mesh with its frame's name and its place among the frame's meshes.
std::string diffPath(DiffSide& side, NodeHandle node, bool names);

// Whether the node is a value chunk: one value of a type its code says.
bool isValueChunk(const DiffSide& side, NodeHandle node);
// A value chunk's value, as a number, a vector or a quoted name; nothing for a chunk that is no
// value chunk, and "none" where the file ends before its value.
std::optional<std::string> valueText(const DiffSide& side, NodeHandle node);
// Whether two value chunks hold the same value (floats within `epsilon`).
bool sameValue(const DiffSide& a, NodeHandle na, const DiffSide& b, NodeHandle nb, double epsilon);

// Floats the same bit for bit, equal, or within `epsilon` of each other.
bool sameFloat(float x, float y, double epsilon);
// "(1, 0.5, 0)".
std::string floatsText(const float* v, std::uint32_t n);

// Compares two data chunks' payloads element by element (vertices, keys, materials; bytes for
// custom data and unknown chunks), reporting under the chunk's path, made only for a listed line.
void compareElements(const DiffOptions& options, DiffSide& a, NodeHandle na, DiffSide& b,
                     NodeHandle nb, const std::function<std::string()>& path, DiffReport& report);

}  // namespace kxm
