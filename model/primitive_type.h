// The primitive types a mesh's "Mesh Primitive Type" chunk names, as Direct3D numbers them, and
// how many primitives each draws from n indices (or vertices, for a mesh without indices).
#pragma once

#include <cstdint>

namespace kxm {

enum class PrimitiveType {
  Unknown,
  PointList,
  LineList,
  LineStrip,
  TriangleList,
  TriangleStrip,
  TriangleFan
};

// 1 to 6 as Direct3D numbers them; every other value is Unknown.
constexpr PrimitiveType primitiveTypeOf(std::int32_t value) {
  return value >= 1 && value <= 6 ? static_cast<PrimitiveType>(value) : PrimitiveType::Unknown;
}

constexpr const char* primitiveTypeName(PrimitiveType type) {
  switch (type) {
    case PrimitiveType::PointList: return "point list";
    case PrimitiveType::LineList: return "line list";
    case PrimitiveType::LineStrip: return "line strip";
    case PrimitiveType::TriangleList: return "triangle list";
    case PrimitiveType::TriangleStrip: return "triangle strip";
    case PrimitiveType::TriangleFan: return "triangle fan";
    case PrimitiveType::Unknown: break;
  }
  return "unknown primitive type";
}

// Primitives drawn from n indices; an unknown type counts each index as one.
constexpr std::int64_t primitivesDrawn(PrimitiveType type, std::int64_t n) {
  switch (type) {
    case PrimitiveType::PointList: return n;
    case PrimitiveType::LineList: return n / 2;
    case PrimitiveType::LineStrip: return n > 0 ? n - 1 : 0;
    case PrimitiveType::TriangleList: return n / 3;
    case PrimitiveType::TriangleStrip:
    case PrimitiveType::TriangleFan: return n > 1 ? n - 2 : 0;
    case PrimitiveType::Unknown: break;
  }
  return n;
}

// Triangles drawn from n indices: none for points and lines.
constexpr std::int64_t trianglesDrawn(PrimitiveType type, std::int64_t n) {
  switch (type) {
    case PrimitiveType::TriangleList:
    case PrimitiveType::TriangleStrip:
    case PrimitiveType::TriangleFan: return primitivesDrawn(type, n);
    default: return 0;
  }
}

}  // namespace kxm
