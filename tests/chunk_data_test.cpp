// kxm dump --data: each data chunk's values as the record layouts place them, in text and JSON,
// from chunks our writer makes; a chunk cut short gives its whole records only.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "cli/data_emitters.h"
#include "tests/support/kxm_writer.h"

namespace kxm::test {

namespace {

using namespace kxm::chunk;

// The chunk a writer holds at offset 0, as the tree gives its source.
NodeSource sourceOf(const KxmWriter& w, std::uint32_t code) {
  return {NodeSource::Kind::Chunk, 0, code, static_cast<std::uint32_t>(w.size() - 8)};
}

std::string text(const std::vector<std::uint8_t>& file, const NodeSource& source,
                 VertexContext context = {}) {
  std::string buffer;
  Output out;
  TextDataEmitter emitter(buffer, out);
  emitter.setIndent(2);
  if (!writeChunkData(file, source, context, emitter)) return "(none)";
  return out.text() + buffer;
}

KxmWriter chunk(std::uint32_t code) {
  return KxmWriter::bare().open(code);
}

TEST(ChunkData, EachKindByItsLayout) {
  const struct {
    const char* what;
    KxmWriter file;
    std::uint32_t code;
    VertexContext context;
    std::string expected;
  } cases[] = {
      {"vertices: position, normal, colour, one set",
       chunk(MeshVertexData)
           .floats({1, 0.5f, -2, 0, 1, 0})
           .u32(0xFF808080)
           .floats({0.25f, 1})
           .floats({0.1f, 0, 0, 0, 0, 1})
           .u32(0x11223344)
           .floats({0, 0})
           .close(),
       MeshVertexData,
       {0x152, 36},
       "  vertex 0: position (1, 0.5, -2), normal (0, 1, 0), colour 0xFF808080, texCoord0 (0.25, "
       "1)\n"
       "  vertex 1: position (0.1, 0, 0), normal (0, 0, 1), colour 0x11223344, texCoord0 (0, 0)\n"},
      {"vertices: a stride with padding, two sets of 3 and 1 floats",
       chunk(MeshVertexData).floats({1, 2, 3, 4, 5, 6, 7, 99}).close(),
       MeshVertexData,
       {0x202 | (1u << 16) | (3u << 18), 32},
       "  vertex 0: position (1, 2, 3), texCoord0 (4, 5, 6), texCoord1 (7)\n"},
      {"vertices: a stride below the components reads none",
       chunk(MeshVertexData).floats({1, 2, 3}).close(),
       MeshVertexData,
       {0x012, 12},
       ""},
      {"indices, the last one cut",
       chunk(MeshIndexData).u16(7).u16(65535).u8(1).close(),
       MeshIndexData,
       {},
       "  index 0: 7\n  index 1: 65535\n"},
      {"bone vertices",
       chunk(BonesVertices).i32(-1).i32(3).close(),
       BonesVertices,
       {},
       "  bone vertex 0: -1\n  bone vertex 1: 3\n"},
      {"bone weights",
       chunk(BonesWeights).f32(0.3f).close(),
       BonesWeights,
       {},
       "  bone weight 0: 0.3\n"},
      {"position keys, their unused bytes left out",
       chunk(PositionData).u32(10).floats({1, 2, 3}).zeros(12).close(),
       PositionData,
       {},
       "  position key 0: time 10, value (1, 2, 3)\n"},
      {"rotation keys",
       chunk(RotationData).u32(0).floats({0, 0, 0, 1}).close(),
       RotationData,
       {},
       "  rotation key 0: time 0, value (0, 0, 0, 1)\n"},
      {"a material",
       chunk(MeshMaterial)
           .floats({1, 0, 0, 1, 0.1f, 0.1f, 0.1f, 1, 0, 0, 0, 1, 0, 0, 0, 0, 20})
           .close(),
       MeshMaterial,
       {},
       "  material 0: diffuse (1, 0, 0, 1), ambient (0.1, 0.1, 0.1, 1), specular (0, 0, 0, 1), "
       "emissive (0, 0, 0, 0), power 20\n"},
      {"custom data as hex",
       chunk(CustomData).raw(std::string("0123456789abcdefXY")).close(),
       CustomData,
       {},
       "  00000000: 30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66\n  00000010: 58 59\n"},
      {"a value chunk has no data", chunk(MeshFvfSize).i32(4).close(), MeshFvfSize, {}, "(none)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text(c.file.bytes(), sourceOf(c.file, c.code), c.context), c.expected) << c.what;
  }
}

TEST(ChunkData, APayloadPastTheFileGivesWhatTheFileHolds) {
  const KxmWriter w = KxmWriter::bare().head(MeshIndexData, 1000).u16(4).u16(5);
  EXPECT_EQ(text(w.bytes(), {NodeSource::Kind::Chunk, 0, MeshIndexData, 1000}),
            "  index 0: 4\n  index 1: 5\n");
  const std::vector<std::uint8_t> head(w.bytes().begin(), w.bytes().begin() + 4);
  EXPECT_EQ(text(head, {NodeSource::Kind::Chunk, 0, MeshIndexData, 1000}), "");
}

TEST(ChunkData, TheFormatIsTheLastFlagsAndSizeBeforeTheData) {
  VertexContext context;
  const KxmWriter flags = chunk(MeshFvfFlags).u32(0x142).close();
  const KxmWriter size = chunk(MeshFvfSize).i32(24).close();
  noteVertexFormat(flags.bytes(), sourceOf(flags, MeshFvfFlags), context);
  noteVertexFormat(size.bytes(), sourceOf(size, MeshFvfSize), context);
  EXPECT_EQ(context.flags, 0x142u);
  EXPECT_EQ(context.stride, 24);
}

// Every float comes back as the same float; what JSON cannot hold is null.
TEST(ChunkData, JsonNumbersReadBackAsTheSameFloats) {
  const float values[] = {0.1f, 1e-45f, 3.4028235e38f, -0.0f, 16777217.0f, 1.0f / 3};
  KxmWriter w = chunk(RotationData).u32(4294967295u);
  for (const float v : {values[0], values[1], values[2], values[3]}) w.f32(v);
  w.u32(1).floats({values[4], values[5], std::numeric_limits<float>::quiet_NaN(), 1}).close();
  Output out;
  {
    JsonWriter json(out);
    JsonDataEmitter emitter(json);
    json.beginObject();
    ASSERT_TRUE(writeChunkData(w.bytes(), sourceOf(w, RotationData), {}, emitter));
    json.endObject();
    json.finish();
  }
  const nlohmann::json data = nlohmann::json::parse(out.text())["data"];
  EXPECT_EQ(data["kind"], "rotationKeys");
  EXPECT_EQ(data["count"], 2);
  EXPECT_EQ(data["elements"][0]["time"], 4294967295u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(data["elements"][0]["value"][i].get<float>(), values[i]) << i;
  }
  EXPECT_EQ(data["elements"][1]["value"][0].get<float>(), values[4]);
  EXPECT_EQ(data["elements"][1]["value"][1].get<float>(), values[5]);
  EXPECT_TRUE(data["elements"][1]["value"][2].is_null());
}

}  // namespace

}  // namespace kxm::test
