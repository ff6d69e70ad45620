#include "writer/kxm_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sstream>

#include "files/output_set.h"
#include "format/record_layouts.h"
#include "format/vertex_format.h"
#include "writer/parts.h"

namespace kxm {

namespace {

void writeHeader(ChunkBytes& w) {
  const std::size_t idLength = std::strlen(layout::kFileId);
  w.u32(static_cast<std::uint32_t>(idLength));
  w.bytes(reinterpret_cast<const std::uint8_t*>(layout::kFileId), idLength);
  w.i32(layout::kFileVersion);
  w.i32(0);  // reserved1
  w.i32(0);  // reserved2
}

// A frame's own chunks: its name and the transform chunks it had, in the order it had them.
void writeFrameFields(ChunkBytes& w, const Frame& frame) {
  if (frame.hasName) w.chunkName(chunk::FrameName, frame.name);
  for (const std::uint8_t which : frame.transformOrder) {
    switch (which) {
      case 0:
        if (frame.hasMatrix) w.chunkFloats(chunk::FrameMatrix, frame.matrix, 16);
        break;
      case 1:
        if (frame.hasOffset) w.chunkFloats(chunk::FrameOffset, frame.offset, 3);
        break;
      case 2:
        if (frame.hasRotation) w.chunkFloats(chunk::FrameRotation, frame.rotation, 3);
        break;
      default:
        if (frame.hasScale) w.chunkFloats(chunk::FrameScale, frame.scale, 3);
    }
  }
}

// The frames whose chunks are open, outermost first, each with how many of its meshes are
// written: a frame's meshes follow its own chunks, up to where a frame it holds came in its file,
// the rest before its END.
class OpenFrames {
 public:
  OpenFrames(ChunkBytes& w, const Model& model) : w_(w), model_(model) {}

  bool empty() const { return open_.empty(); }
  std::size_t top() const { return open_.back().row; }
  bool isOpen(std::size_t row) const {
    return std::any_of(open_.begin(), open_.end(), [&](const Open& o) { return o.row == row; });
  }
  void open(ChunkCode code, std::size_t row) {
    if (!open_.empty()) meshesUpTo(model_.frames[row].afterMeshes);
    w_.open(code);
    open_.push_back({row, 0});
    writeFrameFields(w_, model_.frames[row]);
  }
  void close() {
    meshesUpTo(-1);
    w_.end();
    w_.close();
    open_.pop_back();
  }

 private:
  struct Open {
    std::size_t row;
    std::size_t meshes;  // written
  };
  // The top frame's meshes up to `count` of them (-1: all).
  void meshesUpTo(std::int32_t count) {
    Open& top = open_.back();
    const RecordTable<Mesh>& meshes = model_.frames[top.row].meshes;
    const std::size_t upTo =
        count < 0 ? meshes.count() : std::min(meshes.count(), static_cast<std::size_t>(count));
    for (; top.meshes < upTo; ++top.meshes) {
      w_.open(chunk::FrameMesh);
      writeMesh(w_, meshes[top.meshes]);
      w_.close();
    }
  }

  ChunkBytes& w_;
  const Model& model_;
  std::vector<Open> open_;
};

// The frames in their rows' order, each nested where the reader adds a row of its parent: a
// frame at the top opens a "Frame ROOT"; any other goes into the frame that held it in its file,
// where that one is open and is its parent (a CHILD) or its parent's child (a SIBLING), else into
// the innermost open frame that is either, the frames inside that one closed first. Rows that
// name a parent that is not open (never so in a model the reader made) are refused.
void writeFrames(ChunkBytes& w, const Model& model) {
  OpenFrames open(w, model);
  auto parentOf = [&](std::size_t r) { return model.frames[r].parentIndex; };
  for (std::size_t row = 0; row < model.frames.count() && !w.failed(); ++row) {
    const std::int32_t parent = parentOf(row);
    if (parent < 0) {
      while (!open.empty()) open.close();
      open.open(chunk::FrameRoot, row);
      continue;
    }
    auto holds = [&](std::size_t r) {
      return static_cast<std::int32_t>(r) == parent || parentOf(r) == parent;
    };
    const std::int32_t heldBy = model.frames[row].heldBy;
    const bool held = heldBy >= 0 && open.isOpen(static_cast<std::size_t>(heldBy)) &&
                      holds(static_cast<std::size_t>(heldBy));
    while (!open.empty() &&
           (held ? static_cast<std::int32_t>(open.top()) != heldBy : !holds(open.top()))) {
      open.close();
    }
    if (open.empty()) {
      w.fail("frame " + std::to_string(row) + " names parent " + std::to_string(parent) +
             ", which comes after it or is closed");
      return;
    }
    open.open(
        static_cast<std::int32_t>(open.top()) == parent ? chunk::FrameChild : chunk::FrameSibling,
        row);
  }
  while (!open.empty()) open.close();
}

// The bytes of the meshes' vertices and indices, most of a big file, and a little more for the
// rest: reserved at once, the file is not copied as it grows. A mesh's other chunks take more
// than the little each is given, so that a file of many empty meshes reserves no more than it
// writes.
std::size_t bigPartsSize(const Model& model) {
  std::uint64_t size = 4096;
  for (const Frame& frame : model.frames) {
    for (const Mesh& mesh : frame.meshes) {
      size += static_cast<std::uint64_t>(mesh.vertices.count()) *
                  static_cast<std::uint64_t>(std::max(fvfVertexSize(mesh.fvfFlags), 0)) +
              static_cast<std::uint64_t>(mesh.indices.count()) * 2 + 64;
    }
  }
  return static_cast<std::size_t>(std::min<std::uint64_t>(size, UINT32_MAX));
}

}  // namespace

bool writeKxm(const Model& model, std::vector<std::uint8_t>& bytes, std::string& error) {
  bytes.clear();
  ChunkBytes w(bytes);
  try {
    w.reserve(bigPartsSize(model));
    writeHeader(w);
    writeFrames(w, model);
    for (const AnimationSet& set : model.animationSets) writeAnimationSet(w, set);
    for (const std::vector<std::uint8_t>& data : model.customData) {
      w.open(chunk::CustomData);
      w.bytes(data.data(), data.size());
      w.close();
    }
  } catch (const std::bad_alloc&) {
    w.fail("out of memory");
  }
  if (w.size() > UINT32_MAX) w.fail("the file would be " + std::to_string(w.size()) + " bytes");
  if (!w.failed()) return true;
  error = w.error();
  bytes.clear();
  return false;
}

bool saveKxm(const Model& model, const std::filesystem::path& out, std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!writeKxm(model, bytes, error)) return false;
  files::OutputSet set;
  const bool staged = set.stage(out, error, [&](std::ostream& stream) {
    stream.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
  });
  return staged && set.commit(error);
}

}  // namespace kxm
