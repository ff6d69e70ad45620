// The mesh element walkers: bones, textures and multi-materials. A list chunk holds its
// elements one after another, each a run of field chunks closed by an END, and one more END
// that closes the list; all their nodes go flat under the list chunk's node. The three kinds
// differ only in their record, their field chunks and their END label.
//
// The closing walk has no record. A field chunk met there gets its node with the bare catalogue
// name and is passed over; chunks that only set walk state or are only shown are read as in any
// other walk.
#include <cstring>
#include <span>
#include <string>
#include <type_traits>

#include "format/little_endian.h"
#include "reader/chunk_reader.h"
#include "reader/mesh_checks.h"

namespace kxm {

namespace {

enum class Field { Handled, NotHandled, Failed };

// The state of one element walk.
template <class Record>
struct ElementWalk {
  ChunkReader& r;
  Record* record;  // nullptr in the closing walk
  SinkNode listItem;
  std::size_t listDepth;  // the list chunk in the reader's chain
  MeshChecks& checks;
  const ChunkHead* head = nullptr;
  char nameBuffer[kStringCapacity] = {};
  std::int32_t influences = 0;  // bones only

  SinkNode bare() { return r.tell(listItem, *head); }
  Field failed() {
    bare();
    return Field::Failed;
  }

  Field name() {
    std::memset(nameBuffer, 0, sizeof nameBuffer);
    if (!r.readName(*head, nameBuffer, "name")) return failed();
    std::memcpy(record->name, nameBuffer, sizeof nameBuffer);
    r.nameChunk(listDepth, record->name);
    r.tell(listItem, *head, ChunkValue::name(nameBuffer));
    return Field::Handled;
  }

  Field integer(std::int32_t* target) {
    std::int32_t value = 0;
    if (!r.cursor.readI32Le(value)) return failed();
    r.expectLength(*head, 4);
    if (target != nullptr) *target = value;
    r.tell(listItem, *head, ChunkValue::number(value));
    return Field::Handled;
  }

  Field material(Material& target) {
    float values[layout::kMaterial.size / sizeof(float)];
    if (!r.readFloatRecord<layout::kMaterial>(*head, values, "material")) return failed();
    target = materialFrom(values);  // the whole material or nothing
    bare();
    return Field::Handled;
  }

  Field matrix(float (&target)[16]) {
    if (!r.readFloatRecord<layout::kMatrix>(*head, target, "matrix")) return failed();
    bare();
    return Field::Handled;
  }

  // Bone vertices and weights: influence-count entries of one 32-bit value, copied bit for bit,
  // read from the payload's start and bounded by the file rather than by the chunk.
  template <class T>
  Field boneArray(ValueArray<T>& array, const layout::RecordLayout& entry, const char* what) {
    static_assert(sizeof(T) == sizeof(std::uint32_t));
    const std::uint32_t size = entry.size;
    bare();
    r.expectDataLength(*head, static_cast<std::uint32_t>(influences), size, what);
    if (influences == 0) return Field::Handled;
    const auto n = static_cast<std::uint32_t>(influences);  // negative: 2^31 or more
    if (!r.allocateCounted(array, n, size, what)) return Field::Failed;
    std::span<const std::uint8_t> data;
    if (!r.cursor.takeSpan(std::uint64_t{n} * size, data, what)) return Field::Failed;
    for (std::uint32_t i = 0; i < n; ++i) {
      const std::uint32_t raw = loadU32Le(data.data() + std::uint64_t{size} * i);
      std::memcpy(&array[i], &raw, sizeof raw);
    }
    return Field::Handled;
  }
};

Field boneField(ElementWalk<Bone>& walk, ChunkCode code) {
  Bone* bone = walk.record;
  switch (code) {
    case chunk::BonesName: return bone ? walk.name() : Field::NotHandled;
    case chunk::BonesNumInfluences: return walk.integer(&walk.influences);
    case chunk::BonesVertices:
      return bone ? walk.boneArray(bone->vertexIndices, layout::kBoneVertex, "bone vertex indices")
                  : Field::NotHandled;
    case chunk::BonesWeights:
      return bone ? walk.boneArray(bone->weights, layout::kBoneWeight, "bone weights")
                  : Field::NotHandled;
    case chunk::BonesTranslationMatrix:
      return bone ? walk.matrix(bone->translationMatrix) : Field::NotHandled;
    default: return Field::NotHandled;
  }
}

Field textureField(ElementWalk<Texture>& walk, ChunkCode code) {
  Texture* texture = walk.record;
  switch (code) {
    case chunk::TextureName: return texture ? walk.name() : Field::NotHandled;
    case chunk::TexturePrimitiveStart:
      if (texture == nullptr) return Field::NotHandled;
      texture->hasPrimitiveStart = true;
      return walk.integer(&texture->primitiveStart);
    case chunk::TexturePrimitiveCount:
      if (texture == nullptr) return Field::NotHandled;
      texture->hasPrimitiveCount = true;
      return walk.integer(&texture->primitiveCount);
    default:
      // 142 to 151: stage, blend mode, arguments, address modes, filters, coordinate mode
      if (code >= chunk::TextureStage && code <= chunk::TextureTcMode) {
        std::int32_t value = 0;
        const Field read = walk.integer(&value);
        if (texture != nullptr && read == Field::Handled) {
          walk.r.keepShown(texture->states, code, static_cast<std::uint32_t>(value));
        }
        return read;
      }
      return Field::NotHandled;
  }
}

Field multiMaterialField(ElementWalk<MultiMaterial>& walk, ChunkCode code) {
  MultiMaterial* entry = walk.record;
  if (entry == nullptr) return Field::NotHandled;  // every chunk of this family fills a field
  switch (code) {
    case chunk::MultiMaterialName: return walk.name();
    case chunk::MultiMaterialMaterial: return walk.material(entry->material);
    case chunk::MultiMaterialIndexStart: return walk.integer(&entry->indexStart);
    case chunk::MultiMaterialIndexCount: return walk.integer(&entry->indexCount);
    case chunk::MultiMaterialPolygonCount: return walk.integer(&entry->polygonCount);
    default: return Field::NotHandled;
  }
}

// What differs between the three kinds of element.
template <class Record>
struct ElementKind {
  ChunkReader::Family family;
  EndKind endKind;
  Field (*readField)(ElementWalk<Record>&, ChunkCode);
};

// One element: its field chunks up to its END, or to the end of the list chunk.
template <class Record>
bool walkElement(ChunkReader& r, std::uint32_t end, Record* record, SinkNode listItem,
                 std::size_t listDepth, const ElementKind<Record>& kind, MeshChecks& checks,
                 bool quietEnd = false) {
  ElementWalk<Record> walk{r, record, listItem, listDepth, checks};
  auto onEnd = [&](const ChunkHead& head) {
    r.tellEnd(listItem, head, kind.endKind, walk.nameBuffer);
  };
  // The closing walk says nothing of a missing END where the list's count was found wrong.
  const char* what = record != nullptr ? "element" : quietEnd ? nullptr : "list";
  return r.walkChunks(end, kind.family, what, onEnd, [&](const ChunkHead& head) {
    walk.head = &head;
    checks.elementField(head, static_cast<const Record*>(record));
    const auto readField = kind.readField;
    switch (readField(walk, head.code)) {
      case Field::Failed: return ChunkReader::Next::Failed;
      case Field::NotHandled: walk.bare(); break;
      case Field::Handled: break;
    }
    return ChunkReader::Next::AtChunkEnd;
  });
}

// One element walk per counted element, then the closing walk. Once the payload holds nothing
// more, every remaining element is a new record without a node; those are appended as one run,
// so that a count of four billion costs nothing.
template <class Record>
bool readElementList(ChunkReader& r, const ChunkHead& list, ElementTable<Record>& table,
                     std::int32_t count, SinkNode listItem, const ElementKind<Record>& kind,
                     MeshChecks& checks) {
  const std::size_t listDepth = r.pathDepth() - 1;
  checks.listStarts();
  const auto elements = static_cast<std::uint32_t>(count);
  std::uint32_t held = 0;    // elements the payload held
  bool lastWasBare = false;  // the last one was an END alone: the list's closing END, likely
  auto countMismatch = [&] {
    const std::uint32_t real = lastWasBare ? held - 1 : held;
    r.report(FindingCode::ListCountMismatch, list.offset,
             "its count is " + std::to_string(elements) + ", but it holds " + std::to_string(real) +
                 (real == 1 ? " element" : " elements") +
                 (lastWasBare ? " and its closing END, read as one more" : "") +
                 "; the rest are new records");
  };
  bool mismatch = false;
  for (std::uint32_t i = 0; i < elements; ++i) {
    if (r.cursor.offset() >= list.end) {
      if (!table.appendDefaults(elements - i)) return r.outOfMemory("elements of a list");
      if (r.observing()) countMismatch();
      mismatch = true;
      break;
    }
    Record* record = table.append();
    if (record == nullptr) return r.outOfMemory("an element of a list");
    if constexpr (std::is_same_v<Record, Texture>) {  // its range's chunks, till they come
      if (r.model.keepForWriting) record->hasPrimitiveStart = record->hasPrimitiveCount = false;
    }
    const std::uint32_t start = r.cursor.offset();
    if (!walkElement(r, list.end, record, listItem, listDepth, kind, checks)) return false;
    ++held;
    lastWasBare = r.cursor.offset() - start == 8 && r.cursor.offset() >= list.end;
    r.nameChunk(listDepth, nullptr);  // the next element has no name yet
  }
  if (!mismatch && lastWasBare && r.observing()) {
    countMismatch();
    mismatch = true;
  }
  if (!walkElement<Record>(r, list.end, nullptr, listItem, listDepth, kind, checks, mismatch)) {
    return false;
  }
  // The closing walk reads up to the list's closing END: more after it means more elements.
  if (r.observing() && r.cursor.offset() < list.end) {
    r.report(FindingCode::ListCountMismatch, list.offset,
             "its count is " + std::to_string(elements) +
                 ", but it holds more elements after them; they are passed over");
  }
  return true;
}

const ElementKind<Bone> kBones{ChunkReader::Family::Bone, EndKind::Bone, boneField};
const ElementKind<Texture> kTextures{ChunkReader::Family::Texture, EndKind::Texture, textureField};
const ElementKind<MultiMaterial> kMultiMaterials{ChunkReader::Family::MultiMaterial,
                                                 EndKind::MultiMaterial, multiMaterialField};

}  // namespace

bool ChunkReader::readBoneList(const ChunkHead& list, Mesh& mesh, std::int32_t count,
                               SinkNode listItem, MeshChecks& checks) {
  return readElementList(*this, list, mesh.bones, count, listItem, kBones, checks);
}

bool ChunkReader::readTextureList(const ChunkHead& list, Mesh& mesh, std::int32_t count,
                                  SinkNode listItem, MeshChecks& checks) {
  return readElementList(*this, list, mesh.textures, count, listItem, kTextures, checks);
}

bool ChunkReader::readMultiMaterialList(const ChunkHead& list, Mesh& mesh, std::int32_t count,
                                        SinkNode listItem, MeshChecks& checks) {
  return readElementList(*this, list, mesh.multiMaterials, count, listItem, kMultiMaterials,
                         checks);
}

}  // namespace kxm
