#include "tree/labels.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace kxm {

Label& Label::add(std::string_view text) {
  if (!onHeap_ && length_ + text.size() < sizeof inline_) {
    std::memcpy(inline_ + length_, text.data(), text.size());
    length_ += text.size();
    return *this;
  }
  if (!onHeap_) {
    heap_.assign(inline_, length_);
    onHeap_ = true;
  }
  heap_.append(text);
  return *this;
}

Label& Label::addInt(std::int32_t value) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return add(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

Label& Label::addHex8(std::uint32_t value) {
  static const char kHex[] = "0123456789ABCDEF";
  char digits[8];
  for (int i = 7; i >= 0; --i, value >>= 4) digits[i] = kHex[value & 0xF];
  return add(std::string_view(digits, sizeof digits));
}

Label& Label::addFloat(double value) {
  char digits[400];
  return add(std::string_view(digits, formatFloat(value, digits, sizeof digits)));
}

const char* Label::c_str() {
  if (onHeap_) return heap_.c_str();
  inline_[length_] = '\0';
  return inline_;
}

std::string_view Label::view() const {
  return onHeap_ ? std::string_view(heap_) : std::string_view(inline_, length_);
}

std::size_t formatFloat(double value, char* out, std::size_t capacity) {
  std::string_view special;
  if (std::isnan(value)) {
    special = std::signbit(value) ? "-nan" : "nan";
  } else if (std::isinf(value)) {
    special = value < 0 ? "-inf" : "inf";
  } else {
    // Exact to the sixth decimal, as printf's %f, whatever the platform's printf does.
    const auto result = std::to_chars(out, out + capacity, value, std::chars_format::fixed, 6);
    if (result.ec == std::errc()) return static_cast<std::size_t>(result.ptr - out);
    special = "";
  }
  const std::size_t length = std::min(special.size(), capacity);
  std::memcpy(out, special.data(), length);
  return length;
}

namespace {

// The node's current text, read back as every relabelling does: 128 bytes, zero-filled.
struct NodeText {
  NodeText(ChunkTree& tree, NodeHandle node) { tree.GetNodeText(node, text, sizeof text); }
  char text[128] = {};
};

const char* endWord(EndKind kind) {
  switch (kind) {
    case EndKind::Frame: return " Frame ";
    case EndKind::Mesh: return " Mesh";
    case EndKind::Bone: return " Bone ";
    case EndKind::Texture: return " Texture ";
    case EndKind::MultiMaterial: return " MultiMaterial ";
    case EndKind::AnimationSet: return " AnimationSet ";
    case EndKind::AnimData: return " AnimData ";
  }
  return "";
}

}  // namespace

NodeHandle insertChunkNode(ChunkTree& tree, NodeHandle parent, const char* name) {
  return tree.InsertNode(name, parent, -1);
}

NodeHandle insertEndNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                         EndKind kind, const char* objectName) {
  if (!options.showNames()) return tree.InsertNode("END", parent, -1);
  // "%s Frame \"%s\"" and its kin; a mesh has no name: "%s Mesh".
  Label label;
  label.add("END").add(endWord(kind));
  if (kind != EndKind::Mesh) label.addQuoted(objectName);
  return tree.InsertNode(label.c_str(), parent, -1);
}

void labelNameChunk(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                    const char* chunkName, const char* name) {
  if (!options.showNames()) return;
  Label label;
  tree.SetNodeText(node, label.add(chunkName).add(": ").addQuoted(name).c_str());
}

void labelInteger(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                  std::int32_t value) {
  if (!options.showValues()) return;
  const NodeText current(tree, node);
  Label label;
  tree.SetNodeText(node, label.add(current.text).add(": ").addInt(value).c_str());
}

void labelFloat(ChunkTree& tree, const DisplayOptions& options, NodeHandle node, float value) {
  if (!options.showValues()) return;
  const NodeText current(tree, node);
  Label label;
  tree.SetNodeText(node, label.add(current.text).add(": ").addFloat(value).c_str());
}

void labelVector(ChunkTree& tree, const DisplayOptions& options, NodeHandle node, double x,
                 double y, double z) {
  if (!options.showValues()) return;
  const NodeText current(tree, node);
  Label label;
  label.add(current.text).add(": ").addFloat(x).add(", ").addFloat(y).add(", ").addFloat(z);
  tree.SetNodeText(node, label.c_str());
}

void labelFlags(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                std::uint32_t flags, const char* letters) {
  if (!options.showValues()) return;
  const NodeText current(tree, node);
  Label label;
  label.add(current.text).add(": ").addHex8(flags).add(" (").add(letters).add(')');
  tree.SetNodeText(node, label.c_str());
}

void relabelFrameNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                      const char* frameName) {
  if (!options.showNames()) return;
  const NodeText current(tree, node);
  Label label;
  tree.SetNodeText(node, label.add(current.text).add(": ").addQuoted(frameName).c_str());
}

}  // namespace kxm
