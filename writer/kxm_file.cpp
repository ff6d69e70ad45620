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

// A frame's own chunks: its name, the transform chunks it had, its meshes.
void writeFrameFields(ChunkBytes& w, const Frame& frame) {
  w.chunkName(chunk::FrameName, frame.name);
  if (frame.hasMatrix) w.chunkFloats(chunk::FrameMatrix, frame.matrix, 16);
  if (frame.hasOffset) w.chunkFloats(chunk::FrameOffset, frame.offset, 3);
  if (frame.hasRotation) w.chunkFloats(chunk::FrameRotation, frame.rotation, 3);
  if (frame.hasScale) w.chunkFloats(chunk::FrameScale, frame.scale, 3);
  for (const Mesh& mesh : frame.meshes) {
    w.open(chunk::FrameMesh);
    writeMesh(w, mesh);
    w.close();
  }
}

// The frames in their rows' order, each nested where the reader adds a row of its parent: a
// frame at the top opens a "Frame ROOT"; any other goes into the innermost open frame that is its
// parent (a CHILD) or its parent's child (a SIBLING), the frames inside that one closed first.
// Rows that name a parent that is not open (never so in a model the reader made) are refused.
void writeFrames(ChunkBytes& w, const Model& model) {
  std::vector<std::size_t> open;  // rows whose chunks are open, outermost first
  auto closeOne = [&] {
    w.end();
    w.close();
    open.pop_back();
  };
  for (std::size_t row = 0; row < model.frames.count() && !w.failed(); ++row) {
    const std::int32_t parent = model.frames[row].parentIndex;
    if (parent < 0) {
      while (!open.empty()) closeOne();
      w.open(chunk::FrameRoot);
    } else {
      auto parentOf = [&](std::size_t r) { return model.frames[r].parentIndex; };
      while (!open.empty() && static_cast<std::int32_t>(open.back()) != parent &&
             parentOf(open.back()) != parent) {
        closeOne();
      }
      if (open.empty()) {
        w.fail("frame " + std::to_string(row) + " names parent " + std::to_string(parent) +
               ", which comes after it or is closed");
        return;
      }
      w.open(static_cast<std::int32_t>(open.back()) == parent ? chunk::FrameChild
                                                              : chunk::FrameSibling);
    }
    open.push_back(row);
    writeFrameFields(w, model.frames[row]);
  }
  while (!open.empty()) closeOne();
}

// The bytes of the meshes' vertices and indices, most of a big file, and a little more for the
// rest: reserved at once, the file is not copied as it grows.
std::size_t bigPartsSize(const Model& model) {
  std::uint64_t size = 4096;
  for (const Frame& frame : model.frames) {
    for (const Mesh& mesh : frame.meshes) {
      size += static_cast<std::uint64_t>(mesh.vertices.count()) *
                  static_cast<std::uint64_t>(std::max(fvfVertexSize(mesh.fvfFlags), 0)) +
              static_cast<std::uint64_t>(mesh.indices.count()) * 2 + 1024;
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
