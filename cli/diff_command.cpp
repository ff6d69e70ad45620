#include "cli/diff_command.h"

#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/huge_page_blocks.h"
#include "cli/json_writer.h"
#include "format/chunk_catalogue.h"
#include "format/little_endian.h"
#include "format/record_layouts.h"
#include "format/vertex_format.h"
#include "reader/byte_cursor.h"
#include "reader/file_image.h"
#include "text/escape.h"
#include "text/format.h"
#include "tree/chunk_tree.h"
#include "tree/memory_tree.h"
#include "tree/tree_sink.h"

namespace kxm {

namespace {

// One side: the file's bytes and the tree the viewer shows of them, with each node's source.
struct Side {
  FileImage image;  // a path's bytes; standard input's are the input's
  std::span<const std::uint8_t> bytes;
  MemoryTreeControl tree{true, hugePageBlocks()};

  std::string_view label(NodeHandle node) const { return tree.text(node); }
  NodeSource source(NodeHandle node) const { return tree.itemSource(node); }
  // A chunk's payload, clamped to the file (a chunk may claim more than the file holds).
  std::pair<const std::uint8_t*, std::uint32_t> payload(NodeHandle node) const {
    const NodeSource s = source(node);
    const std::uint64_t start = std::uint64_t{s.offset} + layout::kChunkHead.size;
    if (s.kind != NodeSource::Kind::Chunk || start > bytes.size()) return {nullptr, 0};
    const std::uint64_t size = std::min<std::uint64_t>(s.length, bytes.size() - start);
    return {bytes.data() + start, static_cast<std::uint32_t>(size)};
  }
};

// A node's place among its siblings, what aligns it with its counterpart: its kind and code and
// how many siblings of that kind and code come before it.
struct Key {
  NodeSource::Kind kind;
  std::uint32_t code;
  bool operator<(const Key& o) const { return kind != o.kind ? kind < o.kind : code < o.code; }
  bool operator==(const Key& o) const { return kind == o.kind && code == o.code; }
};

Key keyOf(const Side& side, NodeHandle node) {
  const NodeSource s = side.source(node);
  // Header fields and roots are told apart by their place alone.
  return {s.kind, s.kind == NodeSource::Kind::Chunk ? s.code : 0};
}

std::vector<NodeHandle> childrenOf(MemoryTreeControl& tree, NodeHandle node) {
  std::vector<NodeHandle> children;
  for (NodeHandle c = tree.firstChild(node); c != 0; c = tree.nextSibling(c)) children.push_back(c);
  return children;
}

std::string floats(const float* v, std::uint32_t n) {
  std::string text = "(";
  for (std::uint32_t i = 0; i < n; ++i) text += (i ? ", " : "") + shortNumber(v[i]);
  return text + ")";
}

// How a data chunk's payload divides into elements, and the fields of each element compared.
struct Layout {
  const char* one = "byte";
  const char* many = "bytes";
  std::uint32_t size = 1;
  std::vector<layout::Field> fields{{"", 0, layout::FieldType::UInt8}};

  Layout() = default;
  Layout(const char* one_, const char* many_, std::uint32_t size_)
      : one(one_), many(many_), size(size_), fields() {}
  Layout(const char* one_, const char* many_, const layout::RecordLayout& record)
      : one(one_),
        many(many_),
        size(record.size),
        fields(record.fields.begin(), record.fields.end()) {}
};

class Differ {
 public:
  Differ(const DiffRequest& request, Side& a, Side& b, Output& out, JsonWriter* json)
      : request_(request), a_(a), b_(b), out_(out), json_(json) {}

  std::uint64_t run();

 private:
  struct Pair {
    NodeHandle a, b;  // 0 on the side that lacks it
  };

  void say(const Pair& pair, const char* kind, const std::string& text);
  std::string pathOf(const Pair& pair) const;
  void pushChildren(const Pair& pair, std::vector<Pair>& stack);
  Layout layoutOf(NodeHandle a) const;
  void compareElements(const Pair& pair);
  bool same(float x, float y) const {
    return x == y || std::memcmp(&x, &y, 4) == 0 || std::fabs(double{x} - y) <= request_.epsilon;
  }

  const DiffRequest& request_;
  Side& a_;
  Side& b_;
  Output& out_;
  JsonWriter* json_;
  std::uint64_t count_ = 0;
};

// The labels from the top down to the node, the middle of a very deep path left out, so that a
// difference costs what its depth costs, and no more than a few dozen labels.
std::string Differ::pathOf(const Pair& pair) const {
  const Side& side = pair.a != 0 ? a_ : b_;
  std::vector<NodeHandle> up;
  for (NodeHandle n = pair.a != 0 ? pair.a : pair.b; n != 0; n = side.tree.parent(n)) {
    up.push_back(n);
  }
  constexpr std::size_t kEnds = 6;
  std::string path;
  for (std::size_t i = up.size(); i-- > 0;) {
    const std::size_t depth = up.size() - 1 - i;
    if (up.size() > 2 * kEnds && depth >= kEnds && i >= kEnds) {
      if (depth == kEnds) path += " > ... (" + std::to_string(up.size() - 2 * kEnds) + " more)";
      continue;
    }
    if (!path.empty()) path += " > ";
    appendEscapedLabel(path, side.label(up[i]));
  }
  return path;
}

void Differ::say(const Pair& pair, const char* kind, const std::string& text) {
  if (count_++ >= request_.maxDifferences) return;
  const std::string path = pathOf(pair);
  if (json_ != nullptr) {
    json_->beginObject().key("kind").string(kind).key("path").string(path);
    json_->key("text").string(text).endObject();
  } else {
    out_.write(path + ": " + text + "\n");
  }
}

// Siblings pair by place while their keys agree, which is all of them in a file and its copy;
// past the first disagreement, by key and occurrence: a chunk in one file only is added or
// removed, and its siblings still meet their counterparts.
void Differ::pushChildren(const Pair& pair, std::vector<Pair>& stack) {
  const std::vector<NodeHandle> as = childrenOf(a_.tree, pair.a);
  const std::vector<NodeHandle> bs = childrenOf(b_.tree, pair.b);
  std::size_t same = 0;
  while (same < as.size() && same < bs.size() && keyOf(a_, as[same]) == keyOf(b_, bs[same])) {
    ++same;
  }
  std::vector<Pair> pairs;
  pairs.reserve(std::max(as.size(), bs.size()));
  for (std::size_t i = 0; i < same; ++i) pairs.push_back({as[i], bs[i]});
  if (same < as.size() || same < bs.size()) {
    std::map<std::pair<Key, std::size_t>, std::size_t> inB;  // (key, occurrence): place in B
    std::map<Key, std::size_t> seen;
    for (std::size_t j = same; j < bs.size(); ++j) {
      const Key key = keyOf(b_, bs[j]);
      inB.emplace(std::make_pair(key, seen[key]++), j);
    }
    std::vector<bool> matched(bs.size(), false);
    seen.clear();
    for (std::size_t i = same; i < as.size(); ++i) {
      const Key key = keyOf(a_, as[i]);
      const auto found = inB.find({key, seen[key]++});
      pairs.push_back({as[i], found == inB.end() ? 0 : bs[found->second]});
      if (found != inB.end()) matched[found->second] = true;
    }
    for (std::size_t j = same; j < bs.size(); ++j) {
      if (!matched[j]) pairs.push_back({0, bs[j]});  // in B only, in its order
    }
  }
  // Pushed last first, so that the differences come out in file order.
  stack.insert(stack.end(), pairs.rbegin(), pairs.rend());
}

std::uint64_t Differ::run() {
  std::vector<Pair> stack;
  pushChildren({0, 0}, stack);
  while (!stack.empty()) {
    const Pair pair = stack.back();
    stack.pop_back();
    if (pair.b == 0) {
      say(pair, "removed", "only in the first file");
      continue;
    }
    if (pair.a == 0) {
      say(pair, "added", "only in the second file");
      continue;
    }
    const std::string_view la = a_.label(pair.a), lb = b_.label(pair.b);
    if (la != lb) say(pair, "changed", quotedLabel(la) + " -> " + quotedLabel(lb));
    if (a_.tree.firstChild(pair.a) == 0 && b_.tree.firstChild(pair.b) == 0) {
      const auto [pa, na] = a_.payload(pair.a);
      const auto [pb, nb] = b_.payload(pair.b);
      if (na != nb || (na != 0 && std::memcmp(pa, pb, na) != 0)) compareElements(pair);
    }
    pushChildren(pair, stack);
  }
  return count_;
}

Layout Differ::layoutOf(NodeHandle a) const {
  using T = layout::FieldType;
  switch (a_.source(a).code) {
    case chunk::MeshVertexData: {
      // The format and stride are the mesh's, read from the chunks beside the data.
      std::uint32_t flags = 0;
      std::uint32_t stride = 0;
      for (NodeHandle s = a_.tree.firstChild(a_.tree.parent(a)); s != 0;
           s = a_.tree.nextSibling(s)) {
        const auto [p, n] = a_.payload(s);
        if (n < 4) continue;
        if (a_.source(s).code == chunk::MeshFvfFlags) flags = loadU32Le(p);
        if (a_.source(s).code == chunk::MeshFvfSize) stride = loadU32Le(p);
      }
      if (stride == 0 || stride > 0x7FFFFFFF) return {};
      Layout vertex{"vertex", "vertices", stride};
      const VertexLayout v = vertexLayout(flags);
      const std::int32_t normal = fvfComponentOffset(flags, kFvfNormal, 0);
      auto add = [&](const char* name, std::int32_t at, T type, std::uint32_t n) {
        const layout::Field field{name, static_cast<std::uint32_t>(at), type, n};
        if (at >= 0 && field.end() <= stride) vertex.fields.push_back(field);
      };
      add("position", v.posOffset, T::Float32, 3);
      add("normal", normal, T::Float32, 3);
      add("colour", v.diffuseOffset, T::Argb, 1);
      add("texture set 0", v.tex0Offset, T::Float32, 2);
      add("texture set 1", v.tex1Offset, T::Float32, 2);
      return vertex;
    }
    case chunk::MeshIndexData: return {"index", "indices", layout::kIndex};
    case chunk::PositionData: return {"key", "keys", layout::kPositionKey};
    case chunk::ScaleData: return {"key", "keys", layout::kScaleKey};
    case chunk::RotationData: return {"key", "keys", layout::kRotationKey};
    case chunk::MatrixData: return {"key", "keys", layout::kMatrixKey};
    case chunk::MeshMaterial:
    case chunk::MultiMaterialMaterial: return {"material", "materials", layout::kMaterial};
    case chunk::BonesVertices: return {"bone vertex", "bone vertices", layout::kBoneVertex};
    case chunk::BonesWeights: return {"weight", "weights", layout::kBoneWeight};
    case chunk::FrameMatrix:
    case chunk::BonesTranslationMatrix: return {"matrix", "matrices", layout::kMatrix};
    default: return {};  // custom data and the rest: byte by byte
  }
}

void Differ::compareElements(const Pair& pair) {
  const auto [pa, na] = a_.payload(pair.a);
  const auto [pb, nb] = b_.payload(pair.b);
  const std::uint32_t offA = a_.source(pair.a).offset + layout::kChunkHead.size;
  const std::uint32_t offB = b_.source(pair.b).offset + layout::kChunkHead.size;
  const Layout shape = layoutOf(pair.a);
  const std::uint32_t countA = na / shape.size, countB = nb / shape.size;
  if (countA != countB) {
    say(pair, "count",
        plural(countA, shape.one, shape.many) + " -> " + plural(countB, shape.one, shape.many));
  }
  for (std::uint32_t k = 0; k < std::min(countA, countB); ++k) {
    for (const layout::Field& field : shape.fields) {
      const std::uint32_t at = k * shape.size + field.offset;
      const std::uint8_t* x = pa + at;
      const std::uint8_t* y = pb + at;
      std::string from, to;
      switch (field.type) {
        case layout::FieldType::Float32: {
          float u[16], v[16];
          loadFloatsLe(x, u, field.count);
          loadFloatsLe(y, v, field.count);
          bool differs = false;
          for (std::uint32_t i = 0; i < field.count; ++i) differs = differs || !same(u[i], v[i]);
          if (!differs) continue;
          from = floats(u, field.count), to = floats(v, field.count);
          break;
        }
        case layout::FieldType::Argb:
        case layout::FieldType::UInt32:
          if (loadU32Le(x) == loadU32Le(y)) continue;
          from = field.type == layout::FieldType::Argb ? hex8(loadU32Le(x))
                                                       : std::to_string(loadU32Le(x));
          to = field.type == layout::FieldType::Argb ? hex8(loadU32Le(y))
                                                     : std::to_string(loadU32Le(y));
          break;
        case layout::FieldType::Int32:
          if (loadU32Le(x) == loadU32Le(y)) continue;
          from = std::to_string(static_cast<std::int32_t>(loadU32Le(x)));
          to = std::to_string(static_cast<std::int32_t>(loadU32Le(y)));
          break;
        case layout::FieldType::UInt16:
          if (loadU16Le(x) == loadU16Le(y)) continue;
          from = std::to_string(loadU16Le(x)), to = std::to_string(loadU16Le(y));
          break;
        case layout::FieldType::Unused: continue;
        case layout::FieldType::UInt8:
          if (*x == *y) continue;
          from = "0x" + hex8(*x).substr(8), to = "0x" + hex8(*y).substr(8);
          break;
      }
      std::string text = std::string(shape.one) + " " + std::to_string(k);
      if (!field.name.empty()) text += " " + std::string(field.name);
      say(pair, "content",
          text + " " + from + " -> " + to + " at " + hex8(offA + at) + " -> " + hex8(offB + at));
    }
  }
}

bool loadSide(const DiffRequest& request, const Input& input, Side& side, Output& err) {
  DisplayOptions options;
  options.ShowNamesOption = request.showNames ? 1 : 0;
  options.ShowValuesOption = request.showValues ? 1 : 0;
  ChunkTree tree;
  tree.Attach(&side.tree);
  TreeSink sink(tree, options);
  Model model;
  LoadOutcome outcome;
  if (input.bytes) {
    side.bytes = *input.bytes;
    outcome = loadInput(input, model, &sink, nullptr, hugePageBlocks());
  } else if (side.image.read(input.path.c_str(), outcome.failure, hugePageBlocks())) {
    // The file is read once: the load walks these bytes and the content is compared in them.
    side.bytes = side.image.bytes();
    outcome = load(side.bytes, model, &sink, nullptr, std::nullopt, hugePageBlocks());
  }
  if (!outcome.loaded) {
    err.write(diagnosticLine(input.shown, issueOf(outcome.failure)));
    return false;
  }
  return true;
}

}  // namespace

namespace {

int compareSides(const DiffRequest& request, const Input& a, const Input& b, Output& out,
                 Output& err) {
  Side sideA, sideB;
  if (!loadSide(request, a, sideA, err) || !loadSide(request, b, sideB, err)) return 2;
  std::uint64_t count = 0;
  if (request.json) {
    JsonWriter json(out);
    json.beginObject();
    writeDocumentHead(json, a.shown);
    json.key("otherFile").string(b.shown);
    json.key("differences").beginArray();
    count = Differ(request, sideA, sideB, out, &json).run();
    json.endArray();
    json.key("count").number(count);
    json.key("truncated").boolean(count > request.maxDifferences);
    json.endObject();
    json.finish();
  } else {
    count = Differ(request, sideA, sideB, out, nullptr).run();
    const std::uint64_t listed = std::min(count, request.maxDifferences);
    if (count == 0) {
      out.write("the files hold the same\n");
    } else {
      out.write(plural(count, "difference", "differences") +
                (listed < count ? " (" + std::to_string(count - listed) + " not listed)" : "") +
                "\n");
    }
  }
  return count == 0 ? 0 : 1;
}

}  // namespace

int runDiff(const DiffRequest& request, const Input& a, const Input& b, Output& out, Output& err) {
  // Two files' trees and bytes may not fit at once where one file's did: that is trouble with the
  // run, said as such, not an abort.
  try {
    return compareSides(request, a, b, out, err);
  } catch (const std::bad_alloc&) {
    err.write(a.shown + ": error: out of memory comparing it with " + b.shown +
              " [out-of-memory]\n");
    return 2;
  }
}

}  // namespace kxm
