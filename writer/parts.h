// The parts of a KXM file the writer writes, each into the chunk it is opened in.
#pragma once

#include "model/model.h"
#include "writer/chunk_bytes.h"

namespace kxm {

// The chunks of one "Frame MESH" payload, its END included.
void writeMesh(ChunkBytes& w, const Mesh& mesh);
// One top-level "AnimationSet ROOT" chunk.
void writeAnimationSet(ChunkBytes& w, const AnimationSet& set);

}  // namespace kxm
