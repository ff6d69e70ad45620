#include "tree/labels.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <new>

namespace kxm {

const char* Label::format(const char* fmt, ...) {
  heap_.reset();
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(inline_, sizeof inline_, fmt, args);
  va_end(args);
  if (length < 0) {
    inline_[0] = '\0';
  } else if (static_cast<std::size_t>(length) >= sizeof inline_) {
    const auto size = static_cast<std::size_t>(length) + 1;
    heap_.reset(new (std::nothrow) char[size]);
    if (heap_) std::vsnprintf(heap_.get(), size, fmt, again);
  }
  va_end(again);
  return c_str();
}

const char* formatFloat(double value, char (&out)[512]) {
  if (std::isnan(value)) {
    std::snprintf(out, sizeof out, "%s", std::signbit(value) ? "-nan" : "nan");
  } else if (std::isinf(value)) {
    std::snprintf(out, sizeof out, "%s", value < 0 ? "-inf" : "inf");
  } else {
    std::snprintf(out, sizeof out, "%f", value);
  }
  return out;
}

namespace {

// The node's current text, read back as every relabelling does: 128 bytes, zero-filled.
struct NodeText {
  NodeText(ChunkTree& tree, NodeHandle node) { tree.GetNodeText(node, text, sizeof text); }
  char text[128] = {};
};

}  // namespace

NodeHandle insertChunkNode(ChunkTree& tree, NodeHandle parent, const char* name) {
  return tree.InsertNode(name, parent, -1);
}

NodeHandle insertEndNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                         EndKind kind, const char* objectName) {
  if (!options.showNames()) return tree.InsertNode("END", parent, -1);
  Label label;
  switch (kind) {
    case EndKind::Frame: label.format("%s Frame \"%s\"", "END", objectName); break;
    case EndKind::Mesh: label.format("%s Mesh", "END"); break;
    case EndKind::Bone: label.format("%s Bone \"%s\"", "END", objectName); break;
    case EndKind::Texture: label.format("%s Texture \"%s\"", "END", objectName); break;
    case EndKind::MultiMaterial: label.format("%s MultiMaterial \"%s\"", "END", objectName); break;
    case EndKind::AnimationSet: label.format("%s AnimationSet \"%s\"", "END", objectName); break;
    case EndKind::AnimData: label.format("%s AnimData \"%s\"", "END", objectName); break;
  }
  return tree.InsertNode(label.c_str(), parent, -1);
}

void labelNameChunk(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                    const char* chunkName, const char* name) {
  if (!options.showNames()) return;
  Label label;
  tree.SetNodeText(node, label.format("%s: \"%s\"", chunkName, name));
}

void labelInteger(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                  std::int32_t value) {
  if (!options.showValues()) return;
  const NodeText current(tree, node);
  Label label;
  tree.SetNodeText(node, label.format("%s: %d", current.text, static_cast<int>(value)));
}

void labelFloat(ChunkTree& tree, const DisplayOptions& options, NodeHandle node, float value) {
  if (!options.showValues()) return;
  const NodeText current(tree, node);
  char number[512];
  Label label;
  tree.SetNodeText(node, label.format("%s: %s", current.text, formatFloat(value, number)));
}

void labelVector(ChunkTree& tree, const DisplayOptions& options, NodeHandle node, double x,
                 double y, double z) {
  if (!options.showValues()) return;
  const NodeText current(tree, node);
  char nx[512], ny[512], nz[512];
  Label label;
  tree.SetNodeText(node, label.format("%s: %s, %s, %s", current.text, formatFloat(x, nx),
                                      formatFloat(y, ny), formatFloat(z, nz)));
}

void labelFlags(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                std::uint32_t flags, const char* letters) {
  if (!options.showValues()) return;
  const NodeText current(tree, node);
  Label label;
  tree.SetNodeText(
      node, label.format("%s: %08X (%s)", current.text, static_cast<unsigned>(flags), letters));
}

void relabelFrameNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                      const char* frameName) {
  if (!options.showNames()) return;
  const NodeText current(tree, node);
  Label label;
  tree.SetNodeText(node, label.format("%s: \"%s\"", current.text, frameName));
}

}  // namespace kxm
