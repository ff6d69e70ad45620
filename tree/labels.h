// How a chunk becomes a node label under the two display options. Every walker labels its nodes
// through these functions only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

// What an END node says about the object it closes.
enum class EndKind { Frame, Mesh, Bone, Texture, MultiMaterial, AnimationSet, AnimData };

// A chunk's first label: its catalogue name.
NodeHandle insertChunkNode(ChunkTree& tree, NodeHandle parent, const char* name);
// END: with Show names "END Frame \"name\"" and the like (mesh: "END Mesh"); otherwise "END".
NodeHandle insertEndNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                         EndKind kind, const char* objectName);
// A name chunk, once read: "Frame Name: \"name\"" with Show names.
void labelNameChunk(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                    const char* chunkName, const char* name);
// Value chunks, once read, with Show values: the node's text, a colon and the values.
void labelInteger(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                  std::int32_t value);
void labelFloat(ChunkTree& tree, const DisplayOptions& options, NodeHandle node, float value);
void labelVector(ChunkTree& tree, const DisplayOptions& options, NodeHandle node, double x,
                 double y, double z);
void labelFlags(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                std::uint32_t flags, const char* letters);
// A frame's own node at the frame's END, with Show names: its text, a colon and the frame name.
void relabelFrameNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                      const char* frameName);

}  // namespace kxm
