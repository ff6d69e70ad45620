#include "tree/labels.h"

#include "format/chunk_catalogue.h"
#include "format/vertex_format.h"

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

constexpr double kDegreesPerRadian = 57.295780181884766;  // 57.29578 as a single-precision value

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

void headerLabel(Label& label, const char* field, const ChunkValue& value) {
  label.add(field).add(": ");
  if (value.kind == ChunkValue::Kind::Name) {
    label.addQuoted(value.text);
  } else {
    label.addInt(value.integer);
  }
}

void topLevelLabel(Label& label, SinkRoot root, const ChunkHead& head) {
  switch (root) {
    case SinkRoot::Frames: label.add(topLevelNameOf(chunk::FrameRoot)); break;
    case SinkRoot::AnimationSets: label.add(topLevelNameOf(chunk::AnimationSetRoot)); break;
    case SinkRoot::CustomData:
      label.add("chunk_length: ").addInt(static_cast<std::int32_t>(head.length));
      break;
    case SinkRoot::FileHeader: break;
  }
}

void chunkLabel(Label& label, const DisplayOptions& options, const ChunkHead& head,
                const ChunkValue& value) {
  label.add(chunkNameOf(head.code));
  using Kind = ChunkValue::Kind;
  if (value.kind == Kind::None) return;
  if (value.kind == Kind::Name) {
    if (options.showNames()) label.add(": ").addQuoted(value.text);
    return;
  }
  if (!options.showValues()) return;
  label.add(": ");
  switch (value.kind) {
    case Kind::Integer: label.addInt(value.integer); break;
    case Kind::Float: label.addFloat(static_cast<float>(value.numbers[0])); break;
    case Kind::Vector: {
      // A frame's turn is stored in radians and shown in degrees.
      const double k = head.code == chunk::FrameRotation ? kDegreesPerRadian : 1.0;
      const double* v = value.numbers;
      label.addFloat(v[0] * k).add(", ").addFloat(v[1] * k).add(", ").addFloat(v[2] * k);
      break;
    }
    case Kind::Flags: {
      char letters[6];
      fvfComponentLetters(value.flags, letters);
      label.addHex8(value.flags).add(" (").add(letters).add(')');
      break;
    }
    case Kind::None:
    case Kind::Name: break;
  }
}

void endLabel(Label& label, const DisplayOptions& options, EndKind kind, const char* objectName) {
  label.add("END");
  if (!options.showNames()) return;
  // "%s Frame \"%s\"" and its kin; a mesh has no name: "%s Mesh".
  label.add(endWord(kind));
  if (kind != EndKind::Mesh) label.addQuoted(objectName);
}

bool frameNodeLabel(Label& label, const DisplayOptions& options, std::uint32_t holder,
                    bool topLevel, const char* frameName) {
  if (!options.showNames()) return false;
  // The node still shows the name of the chunk holding the frame: that is its text.
  label.add(topLevel ? topLevelNameOf(holder) : chunkNameOf(holder)).add(": ").addQuoted(frameName);
  return true;
}

}  // namespace kxm
