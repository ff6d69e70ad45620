// kxm import's reading of what kxm export keeps in extras. Extras that no longer fit the glTF
// (it was changed after the export, as an editor changes it) are left out with a warning and the
// glTF's own data is used; extras that are not as the export writes them (hostile, or broken)
// likewise. Whatever they hold, the model imported is one our writer writes and our reader reads
// whole.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "reader/load.h"
#include "tests/support/export_models.h"
#include "tests/support/round_trip.h"
#include "tests/support/sample_model.h"

namespace kxm {
namespace {

using Json = nlohmann::json;
using Change = std::function<void(test::Glb&)>;

// The model taken out as GLB, changed, and brought back; the file it is written as, loaded.
struct Changed {
  test::Imports back;
  Model reloaded;
};

void importChanged(const std::vector<std::uint8_t>& bytes, const Change& change, Changed& out) {
  test::Glb glb = test::splitGlb(test::exportedGlb(bytes));
  change(glb);
  test::importGlb(test::joinGlb(glb), out.back);
  ASSERT_TRUE(out.back.ok) << out.back.error;
  const std::vector<std::uint8_t> file = test::written(out.back.imported.model);
  ASSERT_FALSE(file.empty());
  ASSERT_TRUE(load(file, out.reloaded).loaded);
}

// The sample taken out, changed and brought back says once that its extras at `where` were
// ignored, and nothing else.
void ignoredOnce(const Change& change, const std::string& where, Changed& changed) {
  importChanged(test::sampleModel(), change, changed);
  ASSERT_EQ(changed.back.warnings.count(), 1u) << changed.back.said();
  EXPECT_EQ(changed.back.warnings.kept()[0].code, IssueCode::ExtrasIgnored);
  EXPECT_EQ(changed.back.warnings.kept()[0].message.rfind(where, 0), 0u) << changed.back.said();
}

// The element of a glTF list that has this name.
Json& named(Json& list, const std::string& name) {
  for (Json& item : list)
    if (item.value("name", "") == name) return item;
  ADD_FAILURE() << "nothing named " << name;
  return list[0];
}

Json& kept(Json& object) {
  return object["extras"]["kxm"];
}

// Where element `i` of accessor `a` starts in the binary chunk.
std::size_t elementAt(const test::Glb& glb, const Json& a, std::size_t i, std::size_t size) {
  const Json& view = glb.json["bufferViews"][a["bufferView"].get<std::size_t>()];
  return view.value("byteOffset", std::size_t{0}) + a.value("byteOffset", std::size_t{0}) +
         i * size;
}

void setFloat(test::Glb& glb, const Json& accessor, std::size_t i, float value) {
  std::memcpy(glb.binary.data() + elementAt(glb, accessor, i, 4), &value, 4);
}

const Frame& frameNamed(const Model& model, const char* name) {
  for (const Frame& frame : model.frames)
    if (std::strcmp(frame.name, name) == 0) return frame;
  ADD_FAILURE() << "no frame " << name;
  return model.frames[0];
}

TEST(ImportExtras, ThatNoLongerFitLeaveTheGltfsOwnData) {
  struct Case {
    const char* what;
    Change change;
    const char* where;  // of the one warning
    std::function<void(const Model&)> check;
  };
  const Case cases[] = {
      {"a node moved",
       [](test::Glb& g) {
         named(g.json["nodes"], "UpperArm")["translation"] = {0, 0.5, 0};
       },
       "/nodes/2: kxm extras of the frame's transform do not fit",
       [](const Model& m) {
         const Frame& arm = frameNamed(m, "UpperArm");
         EXPECT_TRUE(arm.hasOffset && arm.hasRotation && !arm.hasScale);
         EXPECT_EQ(arm.offset[1], 0.5f);
       }},
      {"an index changed",
       [](test::Glb& g) {
         const Json& prim = named(g.json["meshes"], "Head")["primitives"][0];
         const Json& indices = g.json["accessors"][prim["indices"].get<std::size_t>()];
         g.binary[elementAt(g, indices, 0, 2)] ^= 1;  // another corner
       },
       "/meshes/2: kxm extras of its geometry do not fit",
       [](const Model& m) {
         const Mesh& head = frameNamed(m, "Head").meshes[0];
         EXPECT_EQ(head.primitiveType, 4);  // the glTF's triangle list, no longer a fan
         EXPECT_EQ(head.indices.count(), 12);
       }},
      {"a base colour changed",
       [](test::Glb& g) {
         named(g.json["materials"], "Plate")["pbrMetallicRoughness"]["baseColorFactor"][0] = 0.25;
       },
       "/materials/4: kxm extras do not fit its factors",
       [](const Model& m) {
         const Material& plate = frameNamed(m, "Plate").meshes[0].material;
         EXPECT_EQ(plate.diffuse[0], 0.25f);
         EXPECT_EQ(plate.ambient[0], 0.0f);  // glTF has none
       }},
      {"a key moved",
       [](test::Glb& g) {
         Json& animation = g.json["animations"][0];
         const Json& sampler = animation["samplers"][0];
         setFloat(g, g.json["accessors"][sampler["output"].get<std::size_t>()], 0, 0.5f);
       },
       "/animations/0: kxm extras do not fit its channels",
       [](const Model& m) {
         const AnimationSet& wave = m.animationSets[0];
         EXPECT_EQ(wave.animations[2].matrixKeys.count(), 0);  // the channels made of them
         EXPECT_EQ(wave.animations[2].rotationKeys.count(), 2);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Changed changed;
    ignoredOnce(c.change, c.where, changed);
    c.check(changed.reloaded);
  }
}

// Without its extras the GLB is any tool's: nothing to warn of, and the glTF's own data.
TEST(ImportExtras, NoneIsAnotherToolsGltf) {
  Changed changed;
  importChanged(
      test::sampleModel(),
      [](test::Glb& g) {
        for (const char* list : {"scenes", "nodes", "meshes", "materials", "animations"})
          for (Json& item : g.json[list]) item.erase("extras");
      },
      changed);
  EXPECT_EQ(changed.back.said(), "");
  const Frame& arm = frameNamed(changed.reloaded, "UpperArm");
  EXPECT_TRUE(arm.hasOffset && arm.hasRotation);  // its node's own transform
  EXPECT_EQ(frameNamed(changed.reloaded, "Plate").meshes[0].primitiveType, 4);
  EXPECT_TRUE(changed.back.imported.model.customData.empty());
}

// Extras changed where no fingerprint looks: each is checked for its type, count and range,
// and one that fails is left out with a warning that says where.
TEST(ImportExtras, HostileOnesAreLeftOutAndTheFileIsWhole) {
  struct Case {
    const char* what;
    Change change;
    const char* where;
  };
  auto mesh = [](test::Glb& g, const char* name) -> Json& {
    return kept(named(g.json["meshes"], name));
  };
  auto node = [](test::Glb& g, const char* name) -> Json& {
    return kept(named(g.json["nodes"], name));
  };
  const Case cases[] = {
      {"a type that is no number",
       [&](test::Glb& g) { mesh(g, "Head")["geometry"]["type"] = "fan"; }, "/meshes/2"},
      {"indices in no accessor",
       [&](test::Glb& g) { mesh(g, "Head")["geometry"]["indices"] = 99999; }, "/meshes/2"},
      {"a range of a primitive there is not",
       [&](test::Glb& g) { mesh(g, "Base")["geometry"]["ranges"][0]["primitive"] = 7; },
       "/meshes/0"},
      {"a bone of more vertices than kept",
       [&](test::Glb& g) { mesh(g, "UpperArm")["geometry"]["bones"][0]["vertices"] = 1 << 30; },
       "/meshes/1"},
      {"a texture state of another family",
       [&](test::Glb& g) {
         mesh(g, "Base")["textures"][0]["states"] = {{131, 1}};
       },
       "/meshes/0"},
      {"a byte state past a byte",
       [&](test::Glb& g) {
         mesh(g, "Base")["renderStates"] = {{131, 300}};
       },
       "/meshes/0"},
      {"a chunk a mesh must have said absent",
       [&](test::Glb& g) { mesh(g, "Base")["absent"] = {116}; }, "/meshes/0"},
      {"a finite float as bits",
       [](test::Glb& g) { kept(named(g.json["materials"], "Plate"))["power"] = "0x3F800000"; },
       "/materials/4"},
      {"a short matrix",
       [&](test::Glb& g) {
         node(g, "Lamp")["transform"]["matrix"] = {1, 2};
       },
       "/nodes/0"},
      {"a chunk twice in the order",
       [&](test::Glb& g) {
         node(g, "Head")["transform"]["order"] = {106, 106};
       },
       "/nodes/4"},
      {"held by a frame after it", [&](test::Glb& g) { node(g, "Base")["heldBy"] = 5; },
       "/nodes/1"},
      {"meshes the frame's nodes do not carry",
       [&](test::Glb& g) { node(g, "UpperArm")["meshes"] = {3}; }, "/nodes/2"},
      {"custom data that is not base64",
       [](test::Glb& g) { kept(g.json["scenes"][0])["customData"] = {"!!!="}; }, "/scenes/0"},
      {"a billion keys",
       [](test::Glb& g) { kept(g.json["animations"][0])["animations"][0]["keys"][1] = 1 << 30; },
       "/animations/0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Changed changed;
    ignoredOnce(c.change, c.where, changed);
  }
}

// A mesh the export left out is kept whole, its vertices and indices in accessors of its own:
// indices that are not indices leave it out.
TEST(ImportExtras, AWholeMeshOfIndicesPastTheFileIsLeftOut) {
  const std::vector<std::uint8_t> unknown = test::meshOfType(7, 3, {0, 1, 2}).bytes();
  Changed whole;
  importChanged(
      unknown, [](test::Glb&) {}, whole);
  EXPECT_EQ(whole.back.said(), "");
  ASSERT_EQ(whole.reloaded.frames[0].meshes.count(), 1u);  // kept whole, as it was
  EXPECT_EQ(whole.reloaded.frames[0].meshes[0].primitiveType, 7);

  Changed broken;
  importChanged(
      unknown,
      [](test::Glb& g) {
        Json& geometry = kept(g.json["nodes"][0])["meshes"][0]["geometry"];
        geometry["indices"] = geometry["vertices"];  // words of floats, past 65535
      },
      broken);
  ASSERT_EQ(broken.back.warnings.count(), 1u) << broken.back.said();
  EXPECT_EQ(
      broken.back.warnings.kept()[0].message.rfind("/nodes/0: kxm extras of a mesh left out", 0),
      0u);
  EXPECT_EQ(broken.reloaded.frames[0].meshes.count(), 0u);
}

}  // namespace
}  // namespace kxm
