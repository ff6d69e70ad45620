// A diff's data chunks: a payload divided into elements by the record layouts (vertices by the
// mesh's vertex format), compared field by field; custom data and unknown chunks byte by byte.
#include <algorithm>
#include <optional>
#include <vector>

#include "format/chunk_catalogue.h"
#include "format/little_endian.h"
#include "format/record_layouts.h"
#include "format/vertex_format.h"
#include "text/format.h"
#include "tree/tree_diff.h"

namespace kxm {

namespace {

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

// The format and stride of vertices are the mesh's, read from the chunks before the data, as
// the reader reads them.
Layout verticesOf(DiffSide& side, NodeHandle data) {
  using T = layout::FieldType;
  std::uint32_t flags = 0;
  std::uint32_t stride = 0;
  for (NodeHandle s = side.tree.firstChild(side.tree.parent(data)); s != 0 && s != data;
       s = side.tree.nextSibling(s)) {
    const auto [p, n] = side.payload(s);
    if (n < 4) continue;
    if (side.source(s).code == chunk::MeshFvfFlags) flags = loadU32Le(p);
    if (side.source(s).code == chunk::MeshFvfSize) stride = loadU32Le(p);
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

Layout layoutOf(DiffSide& side, NodeHandle node) {
  switch (side.source(node).code) {
    case chunk::MeshVertexData: return verticesOf(side, node);
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

bool sameShape(const Layout& x, const Layout& y) {
  if (x.size != y.size || x.fields.size() != y.fields.size()) return false;
  for (std::size_t i = 0; i < x.fields.size(); ++i) {
    if (x.fields[i].offset != y.fields[i].offset || x.fields[i].name != y.fields[i].name) {
      return false;
    }
  }
  return true;
}

// One field's two values as text, or false when they are the same.
bool fieldDiffers(const layout::Field& field, const std::uint8_t* x, const std::uint8_t* y,
                  double epsilon, std::string& from, std::string& to) {
  using T = layout::FieldType;
  switch (field.type) {
    case T::Float32: {
      float u[16], v[16];
      loadFloatsLe(x, u, field.count);
      loadFloatsLe(y, v, field.count);
      bool differs = false;
      for (std::uint32_t i = 0; i < field.count; ++i) {
        differs = differs || !sameFloat(u[i], v[i], epsilon);
      }
      if (differs) from = floatsText(u, field.count), to = floatsText(v, field.count);
      return differs;
    }
    case T::Argb:
      if (loadU32Le(x) == loadU32Le(y)) return false;
      from = hex8(loadU32Le(x)), to = hex8(loadU32Le(y));
      return true;
    case T::UInt32:
      if (loadU32Le(x) == loadU32Le(y)) return false;
      from = std::to_string(loadU32Le(x)), to = std::to_string(loadU32Le(y));
      return true;
    case T::Int32:
      if (loadU32Le(x) == loadU32Le(y)) return false;
      from = std::to_string(static_cast<std::int32_t>(loadU32Le(x)));
      to = std::to_string(static_cast<std::int32_t>(loadU32Le(y)));
      return true;
    case T::UInt16:
      if (loadU16Le(x) == loadU16Le(y)) return false;
      from = std::to_string(loadU16Le(x)), to = std::to_string(loadU16Le(y));
      return true;
    case T::Unused: return false;
    case T::UInt8:
      if (*x == *y) return false;
      from = "0x" + hex8(*x).substr(8), to = "0x" + hex8(*y).substr(8);
      return true;
  }
  return false;
}

}  // namespace

void compareElements(const DiffOptions& options, DiffSide& a, NodeHandle na, DiffSide& b,
                     NodeHandle nb, const std::function<std::string()>& path, DiffReport& report) {
  const auto [pa, sizeA] = a.payload(na);
  const auto [pb, sizeB] = b.payload(nb);
  const std::uint32_t offA = a.source(na).offset + layout::kChunkHead.size;
  const std::uint32_t offB = b.source(nb).offset + layout::kChunkHead.size;
  const Layout shape = layoutOf(a, na);
  if (!sameShape(shape, layoutOf(b, nb))) {
    // Vertices of other formats or strides: the format and size chunks say how, and reading the
    // second file's at the first's stride would only make up differences.
    if (!report.listing()) return report.skip();
    report.add(Difference{"content",
                          path(),
                          "vertices of another format; not compared one by one",
                          "",
                          "",
                          {na, {}},
                          {nb, {}}});
    return;
  }
  const std::uint32_t countA = sizeA / shape.size, countB = sizeB / shape.size;
  // Where the bytes differ, `at` bytes into both payloads: an element's field.
  auto say = [&](const char* kind, std::string text, std::string from, std::string to,
                 std::optional<std::uint32_t> at) {
    if (!report.listing()) return report.skip();
    Difference difference{kind,          path(),   std::move(text), std::move(from),
                          std::move(to), {na, {}}, {nb, {}}};
    if (at) difference.a.byte = offA + *at, difference.b.byte = offB + *at;
    report.add(difference);
  };
  if (countA != countB) {
    const std::string from = plural(countA, shape.one, shape.many);
    const std::string to = plural(countB, shape.one, shape.many);
    say("count", from + " -> " + to, from, to, std::nullopt);
  }
  for (std::uint32_t k = 0; k < std::min(countA, countB); ++k) {
    for (const layout::Field& field : shape.fields) {
      const std::uint32_t at = k * shape.size + field.offset;
      std::string from, to;
      if (!fieldDiffers(field, pa + at, pb + at, options.epsilon, from, to)) continue;
      std::string text = std::string(shape.one) + " " + std::to_string(k);
      if (!field.name.empty()) text.append(" ").append(field.name);
      text += " " + from + " -> " + to + " at " + hex8(offA + at) + " -> " + hex8(offB + at);
      say("content", std::move(text), std::move(from), std::move(to), at);
    }
  }
}

}  // namespace kxm
