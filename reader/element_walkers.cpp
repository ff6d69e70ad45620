// The mesh element walkers: bones, textures and multi-materials. All three walk the same way,
// each element a run of field chunks closed by an END, and differ only in their record, their
// field chunks and their END label.
//
// The closing walk of a list has no record. A field chunk met there gets its node with the bare
// catalogue name and is passed over; chunks that only set walk state or are only shown are read
// as in any other walk.
#include <cstring>

#include "reader/chunk_reader.h"

namespace kxm {

namespace {

enum class Field { Handled, NotHandled, Failed };

// The state of one element walk.
template <class Record>
struct ElementWalk {
  ChunkReader& reader;
  Record* record;  // nullptr in the closing walk
  NodeHandle node;
  const char* chunkName;
  char nameBuffer[kNameSize];
  std::int32_t influences;  // bones only
};

template <class Record>
Field nameChunk(ElementWalk<Record>& walk) {
  std::memset(walk.nameBuffer, 0, sizeof walk.nameBuffer);
  if (!walk.reader.readString(walk.nameBuffer)) return Field::Failed;
  std::memcpy(walk.record->name, walk.nameBuffer, sizeof walk.nameBuffer);
  labelNameChunk(walk.reader.tree(), walk.reader.options(), walk.node, walk.chunkName,
                 walk.nameBuffer);
  return Field::Handled;
}

template <class Record>
Field integerChunk(ElementWalk<Record>& walk, std::int32_t* target) {
  std::int32_t value = 0;
  if (!walk.reader.readI32Le(value)) return Field::Failed;
  if (target != nullptr) *target = value;
  labelInteger(walk.reader.tree(), walk.reader.options(), walk.node, value);
  return Field::Handled;
}

// Bone vertices and weights: influence-count entries of 4 bytes, copied bit for bit, read from
// the payload's start and bounded by the image rather than by the chunk.
template <class T>
Field boneArray(ElementWalk<Bone>& walk, ValueArray<T>& array) {
  const std::int32_t n = walk.influences;
  if (n == 0) return Field::Handled;
  ChunkReader& reader = walk.reader;
  // Entries the image cannot hold fail as the first short read would, before any allocation.
  if (n < 0 || !reader.entriesFit(static_cast<std::uint32_t>(n), 4)) return Field::Failed;
  if (!reader.claimArrayBytes(static_cast<std::uint32_t>(n), 4)) return Field::Failed;
  if (!array.allocate(n)) return Field::Failed;
  for (std::int32_t i = 0; i < n; ++i) {
    std::uint32_t raw = 0;
    reader.readU32Le(raw);
    std::memcpy(&array[static_cast<std::size_t>(i)], &raw, 4);
  }
  return Field::Handled;
}

Field boneField(ElementWalk<Bone>& walk, ChunkCode code) {
  Bone* bone = walk.record;
  switch (code) {
    case 301: return bone ? nameChunk(walk) : Field::NotHandled;  // Bones Name
    case 302: return integerChunk(walk, &walk.influences);        // Bones Num Influences
    case 303: return bone ? boneArray(walk, bone->vertexIndices) : Field::NotHandled;
    case 304: return bone ? boneArray(walk, bone->weights) : Field::NotHandled;
    case 305:  // Bones Translation Matrix
      if (!bone) return Field::NotHandled;
      return walk.reader.readFloatsLe(bone->translationMatrix, 16) ? Field::Handled : Field::Failed;
    default: return Field::NotHandled;
  }
}

Field textureField(ElementWalk<Texture>& walk, ChunkCode code) {
  Texture* texture = walk.record;
  switch (code) {
    case 141: return texture ? nameChunk(walk) : Field::NotHandled;  // Texture Name
    case 152:                                                        // Texture Primitive Start
      return texture ? integerChunk(walk, &texture->primitiveStart) : Field::NotHandled;
    case 153:  // Texture Primitive Count
      return texture ? integerChunk(walk, &texture->primitiveCount) : Field::NotHandled;
    default:
      // 142 to 151: stage, blend mode, arguments, address modes, filters, coordinate mode
      if (code >= 142 && code <= 151) return integerChunk(walk, nullptr);
      return Field::NotHandled;
  }
}

Field multiMaterialField(ElementWalk<MultiMaterial>& walk, ChunkCode code) {
  MultiMaterial* entry = walk.record;
  if (entry == nullptr) return Field::NotHandled;  // every chunk of this family fills a field
  switch (code) {
    case 161: return nameChunk(walk);  // MultiMaterial Name
    case 162:                          // MultiMaterial Material
      return walk.reader.readMaterial(entry->material) ? Field::Handled : Field::Failed;
    case 163: return integerChunk(walk, &entry->indexStart);    // MultiMaterial Index Start
    case 164: return integerChunk(walk, &entry->indexCount);    // MultiMaterial Index Count
    case 165: return integerChunk(walk, &entry->polygonCount);  // MultiMaterial Polygon Count
    default: return Field::NotHandled;
  }
}

template <class Record, class FieldReader>
int walkElement(ChunkReader& reader, std::uint32_t end, std::int32_t frameIndex,
                std::int32_t meshIndex, int createRecord, NodeHandle parentItem,
                Record* (*add)(Mesh&), EndKind endKind, FieldReader readField) {
  ElementWalk<Record> walk{reader, nullptr, 0, nullptr, {}, 0};
  Mesh* mesh = reader.findMesh(frameIndex, meshIndex);
  if (mesh == nullptr) return 0;
  if (createRecord != 0) {
    walk.record = add(*mesh);
    if (walk.record == nullptr) return 0;
  }
  if (reader.position >= end) return 1;  // a new record, filled by nothing

  for (;;) {
    ChunkHead head;
    if (!reader.readChunkHead(head)) return 0;
    walk.chunkName = chunkNameOf(head.code);
    if (head.code == 0) {  // END; the next element walk begins right after its head
      insertEndNode(reader.tree(), reader.options(), parentItem, endKind, walk.nameBuffer);
      return 1;
    }
    walk.node = insertChunkNode(reader.tree(), parentItem, walk.chunkName);
    if (readField(walk, head.code) == Field::Failed) return 0;
    reader.position = head.end;
    if (head.end >= end) return 1;
  }
}

}  // namespace

int ChunkReader::readMeshBone(std::uint32_t end, std::int32_t frameIndex, std::int32_t meshIndex,
                              int createRecord, NodeHandle parentItem) {
  return walkElement(*this, end, frameIndex, meshIndex, createRecord, parentItem, &addMeshBone,
                     EndKind::Bone, boneField);
}

int ChunkReader::readTexture(std::uint32_t end, std::int32_t frameIndex, std::int32_t meshIndex,
                             int createRecord, NodeHandle parentItem) {
  return walkElement(*this, end, frameIndex, meshIndex, createRecord, parentItem, &addTexture,
                     EndKind::Texture, textureField);
}

int ChunkReader::readMultiMaterial(std::uint32_t end, std::int32_t frameIndex,
                                   std::int32_t meshIndex, int createRecord,
                                   NodeHandle parentItem) {
  return walkElement(*this, end, frameIndex, meshIndex, createRecord, parentItem, &addMultiMaterial,
                     EndKind::MultiMaterial, multiMaterialField);
}

}  // namespace kxm
