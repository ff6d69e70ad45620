// The parts of kxm diff: each file's side (its bytes, its tree, how its load went), the report the
// differences go to, and the walk that pairs two trees and says what differs.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "cli/diff_command.h"
#include "cli/huge_page_blocks.h"
#include "cli/json_writer.h"
#include "reader/file_image.h"
#include "reader/load_failure.h"
#include "tree/memory_tree.h"

namespace kxm {

// One file: its bytes and the tree the viewer shows of them, with each node's source; a file that
// failed to load keeps the tree as far as it loaded.
struct DiffSide {
  FileImage image;  // a path's bytes; standard input's are the input's
  std::span<const std::uint8_t> bytes;
  mutable MemoryTreeControl tree{true, hugePageBlocks()};  // read only; its walk is not const
  LoadFailure failure;                                     // none when the file loaded whole

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

// Where the differences go: listed up to the request's limit, every one counted; each line after
// `prefix` (a pair's relative path in a folder run), when there is one.
class DiffReport {
 public:
  DiffReport(std::uint64_t most, Output& out, JsonWriter* json, std::string prefix = {})
      : most_(most), out_(out), json_(json), prefix_(std::move(prefix)) {}

  // Whether the next difference is listed: only then is its path worth making.
  bool listing() const { return count_ < most_; }
  void add(const std::string& path, const char* kind, const std::string& text);
  void skip() { ++count_; }
  std::uint64_t count() const { return count_; }

 private:
  std::uint64_t most_;
  Output& out_;
  JsonWriter* json_;
  std::string prefix_;
  std::uint64_t count_ = 0;
};

// Compares a pair of files, writing one JSON document or the lines and a count (a folder run's
// pair: its lines under `prefix`, a count only where some are not listed). The exit status;
// -1 when a file could not be read (said on err).
int diffPair(const DiffRequest& request, const Input& a, const Input& b, const std::string& prefix,
             Output& out, Output& err);

// Pairs the two trees from their roots down and reports what differs.
void diffTrees(const DiffRequest& request, DiffSide& a, DiffSide& b, DiffReport& report);

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
void compareElements(const DiffRequest& request, DiffSide& a, NodeHandle na, DiffSide& b,
                     NodeHandle nb, const std::function<std::string()>& path, DiffReport& report);

}  // namespace kxm
