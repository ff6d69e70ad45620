#include "writer/kxm_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sstream>

#include "files/output_set.h"
#include "format/record_layouts.h"
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
// frame at the top opens a "Frame ROOT"; any other goes into the frame that held it in its file,
// where that one is open and is its parent (a CHILD) or its parent's child (a SIBLING), else into
// the innermost open frame that is either, the frames inside that one closed first. Rows that
// name a parent that is not open (never so in a model the reader made) are refused.
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
      auto holds = [&](std::size_t r) {
        return static_cast<std::int32_t>(r) == parent || parentOf(r) == parent;
      };
      const std::int32_t heldBy = model.frames[row].heldBy;
      const bool held =
          heldBy >= 0 &&
          std::find(open.begin(), open.end(), static_cast<std::size_t>(heldBy)) != open.end() &&
          holds(static_cast<std::size_t>(heldBy));
      while (!open.empty() &&
             (held ? static_cast<std::int32_t>(open.back()) != heldBy : !holds(open.back()))) {
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

}  // namespace

bool writeKxm(const Model& model, std::vector<std::uint8_t>& bytes, std::string& error) {
  bytes.clear();
  ChunkBytes w(bytes);
  try {
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
