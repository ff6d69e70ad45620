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

NodeHandle insertNameNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                          const char* chunkName, const char* name) {
  if (!options.showNames()) return tree.InsertNode(chunkName, parent, -1);
  Label label;
  return tree.InsertNode(label.add(chunkName).add(": ").addQuoted(name).c_str(), parent, -1);
}

NodeHandle insertIntegerNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                             const char* chunkName, std::int32_t value) {
  if (!options.showValues()) return tree.InsertNode(chunkName, parent, -1);
  Label label;
  return tree.InsertNode(label.add(chunkName).add(": ").addInt(value).c_str(), parent, -1);
}

NodeHandle insertFloatNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                           const char* chunkName, float value) {
  if (!options.showValues()) return tree.InsertNode(chunkName, parent, -1);
  Label label;
  return tree.InsertNode(label.add(chunkName).add(": ").addFloat(value).c_str(), parent, -1);
}

NodeHandle insertVectorNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                            const char* chunkName, double x, double y, double z) {
  if (!options.showValues()) return tree.InsertNode(chunkName, parent, -1);
  Label label;
  label.add(chunkName).add(": ").addFloat(x).add(", ").addFloat(y).add(", ").addFloat(z);
  return tree.InsertNode(label.c_str(), parent, -1);
}

NodeHandle insertFlagsNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle parent,
                           const char* chunkName, std::uint32_t flags, const char* letters) {
  if (!options.showValues()) return tree.InsertNode(chunkName, parent, -1);
  Label label;
  label.add(chunkName).add(": ").addHex8(flags).add(" (").add(letters).add(')');
  return tree.InsertNode(label.c_str(), parent, -1);
}

void relabelFrameNode(ChunkTree& tree, const DisplayOptions& options, NodeHandle node,
                      const char* nodeText, const char* frameName) {
  if (!options.showNames()) return;
  Label label;
  tree.SetNodeText(node, label.add(nodeText).add(": ").addQuoted(frameName).c_str());
}

}  // namespace kxm
