// How a chunk becomes a node label under the two display options. Every walker labels its nodes
// through these functions only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "tree/chunk_tree.h"

namespace kxm {

// The Show names and Show values check boxes as they stood at Load; only 1 is on.
struct DisplayOptions {
  std::int32_t ShowNamesOption = 1;
  std::int32_t ShowValuesOption = 1;

  bool showNames() const { return ShowNamesOption == 1; }
  bool showValues() const { return ShowValuesOption == 1; }
};

// A composed label. Labels are never cut: one that outgrows the inline buffer is formatted again
// into storage of its whole length.
class Label {
 public:
#if defined(__GNUC__)
  __attribute__((format(printf, 2, 3)))
#endif
  const char*
  format(const char* fmt, ...);
  const char* c_str() const {
    return heap_ ? heap_.get() : inline_;
  }

 private:
  char inline_[256] = {};
  std::unique_ptr<char[]> heap_;
};

// A float as "%f" prints it, widened to double, with NaN and infinities spelled the same on
// every platform: "nan", "-nan", "inf", "-inf".
const char* formatFloat(double value, char (&out)[512]);

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
