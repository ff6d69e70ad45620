// How a chunk becomes a node label under the two display options. Every walker labels its nodes
// through these functions only. A label is composed whole before its node goes in: one trip
// into the control per chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "reader/chunk_sink.h"
#include "tree/chunk_tree.h"

namespace kxm {

// The Show names and Show values check boxes as they stood at Load; only 1 is on.
struct DisplayOptions {
  std::int32_t ShowNamesOption = 1;
  std::int32_t ShowValuesOption = 1;

  bool showNames() const { return ShowNamesOption == 1; }
  bool showValues() const { return ShowValuesOption == 1; }
};

// A label put together piece by piece, as the formats "%s", "%d", "%08X" and "%f" would print
// the pieces. Labels are never cut: one that outgrows the inline buffer moves to the heap.
class Label {
 public:
  Label() = default;
  Label(const Label&) = delete;
  Label& operator=(const Label&) = delete;

  Label& add(std::string_view text);
  Label& add(const char* text) { return add(std::string_view(text)); }
  Label& add(char c) { return add(std::string_view(&c, 1)); }
  Label& addInt(std::int32_t value);    // %d
  Label& addHex8(std::uint32_t value);  // %08X
  Label& addFloat(double value);        // %f, with "nan", "-nan", "inf", "-inf"
  Label& addQuoted(std::string_view text) { return add('"').add(text).add('"'); }

  const char* c_str();
  std::string_view view() const;

 private:
  char inline_[256];
  std::size_t length_ = 0;
  std::string heap_;
  bool onHeap_ = false;
};

// A float printed as "%f" prints it widened to double, with NaN and the infinities spelled the
// same on every platform. Writes at most 400 characters and returns how many.
std::size_t formatFloat(double value, char* out, std::size_t capacity);

// A chunk shown by its catalogue name alone: containers, skipped chunks, and chunks whose
// payload failed to read.
NodeHandle insertChunkNode(ChunkTree& tree, NodeHandle parent, const char* name);
// END: with Show names "END Frame \"name\"" and the like (mesh: "END Mesh"); otherwise "END".
NodeHandle insertEndNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                         EndKind kind, const char* objectName);
// A name chunk: "Frame Name: \"name\"" with Show names.
NodeHandle insertNameNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                          const char* chunkName, const char* name);
// Value chunks, with Show values: the chunk name, a colon and the values.
NodeHandle insertIntegerNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                             const char* chunkName, std::int32_t value);
NodeHandle insertFloatNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                           const char* chunkName, float value);
NodeHandle insertVectorNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                            const char* chunkName, double x, double y, double z);
NodeHandle insertFlagsNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                           const char* chunkName, std::uint32_t flags, const char* letters);
// A frame's own node at the frame's END, with Show names: its text, a colon and the frame name.
// The node still shows the name it was inserted with, so that is its text.
void relabelFrameNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                      const char* nodeText, const char* frameName);

}  // namespace kxm
