#include "cli/repair_meshes.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "format/chunk_catalogue.h"
#include "format/little_endian.h"
#include "format/record_layouts.h"

namespace kxm {

namespace {

struct IndicesRead {
  std::vector<std::uint32_t> indices;
  bool cut = false;  // the file ended inside the chunk's payload
};

// The indices of the index data chunk at `at`: its payload as far as the file goes, bounded by
// the chunk's own length and by the count, so by the file.
IndicesRead indicesIn(const std::filesystem::path& in, std::uint32_t at, std::int64_t count) {
  constexpr std::uint32_t kHead = layout::kChunkHead.size;
  constexpr std::uint32_t kLength = layout::fields::kChunkHead[1].offset;
  std::ifstream file(in, std::ios::binary | std::ios::ate);
  const std::streamoff size = file ? static_cast<std::streamoff>(file.tellg()) : 0;
  std::uint8_t head[kHead];
  if (size < std::streamoff{at} + kHead || !file.seekg(at) ||
      !file.read(reinterpret_cast<char*>(head), sizeof head)) {
    return {};
  }
  const auto left = static_cast<std::uint64_t>(size - (std::streamoff{at} + kHead));
  const std::uint32_t length = loadU32Le(head + kLength);
  std::uint64_t bytes = std::min<std::uint64_t>(length, left);
  if (count >= 0)
    bytes = std::min<std::uint64_t>(bytes, std::uint64_t(count) * layout::kIndex.size);
  std::vector<std::uint8_t> payload(static_cast<std::size_t>(bytes));
  if (!file.read(reinterpret_cast<char*>(payload.data()), static_cast<std::streamsize>(bytes))) {
    return {};
  }
  IndicesRead read{std::vector<std::uint32_t>(payload.size() / layout::kIndex.size), left < length};
  for (std::size_t k = 0; k < read.indices.size(); ++k) {
    read.indices[k] = loadU16Le(payload.data() + k * layout::kIndex.size);
  }
  return read;
}

// How many of `n` indices draw whole triangles: the list's whole threes, a strip's or fan's all
// from the third on; 0 for other primitives.
std::size_t wholeTriangleIndices(std::int32_t primitiveType, std::size_t n) {
  if (primitiveType == 4) return n / 3 * 3;
  if (primitiveType == 5 || primitiveType == 6) return n >= 3 ? n : 0;
  return 0;
}

// Whether a break in this chunk right under a mesh leaves its vertices and indices whole: a
// value chunk, not the vertex data or a list whose elements were being read.
bool leavesIndicesWhole(ChunkCode code) {
  return code != chunk::MeshVertexData && code != chunk::MeshIndexData &&
         code != chunk::MeshTextures && code != chunk::MultipleMaterials &&
         code != chunk::MeshBonesData;
}

}  // namespace

// The primitive type comes after the indices where our writer writes it: a mesh cut before it is
// taken for the commonest, a triangle list, and the warning says so.
std::optional<std::string> keepWholeTriangles(const std::filesystem::path& in,
                                              const LoadFailure& failure, std::size_t meshDepth,
                                              std::int64_t indexCount, Mesh& mesh,
                                              const std::string& at) {
  const std::size_t below = failure.path.size() - 1 - meshDepth;  // chunks under the mesh
  const ChunkRef& inner = failure.path.back();
  if (mesh.vertices.empty() || below > 1) return std::nullopt;
  IndicesRead read;
  std::string where;
  if (below == 1 && inner.code == chunk::MeshIndexData) {
    read = indicesIn(in, inner.offset, indexCount);
    where = read.cut ? "cut off" + at + " in its index data"
                     : "its index count runs past its index data" + at;
  } else if (below == 0 || leavesIndicesWhole(inner.code)) {
    read.indices.assign(mesh.indices.begin(), mesh.indices.end());
    where = "cut off" + at + " after its indices";
  } else {
    return std::nullopt;
  }
  const bool typed = mesh.primitiveType != 0;
  const std::int32_t type = typed ? mesh.primitiveType : 4;
  const std::size_t kept = wholeTriangleIndices(type, read.indices.size());
  const auto vertices = static_cast<std::uint32_t>(mesh.vertices.count());
  if (kept == 0 || std::any_of(read.indices.begin(), read.indices.begin() + std::ptrdiff_t(kept),
                               [&](std::uint32_t i) { return i >= vertices; })) {
    return std::nullopt;
  }
  if (!mesh.indices.allocate(static_cast<std::int32_t>(kept))) return std::nullopt;
  std::copy_n(read.indices.begin(), kept, mesh.indices.begin());
  mesh.primitiveType = type;
  mesh.has.primitiveType = true;  // written, where the break took it
  const std::size_t triangles = type == 4 ? kept / 3 : kept - 2;
  return where + "; kept with its " + std::to_string(triangles) + " whole triangle(s)" +
         (typed ? "" : ", as a triangle list: its primitive type lay past the break");
}

}  // namespace kxm
