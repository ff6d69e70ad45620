#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "export/model_export.h"
#include "import/gltf_import.h"
#include "reader/load.h"
#include "tests/support/export_models.h"
#include "tests/support/model_equal.h"

namespace kxm {

namespace {

// The model as kxm export reads it, taken out as GLB and brought back.
struct RoundTrip {
  Model loaded;
  Imported imported;
  ImportWarnings warnings;
  std::string error;
  bool ok = false;

  explicit RoundTrip(const std::vector<std::uint8_t>& bytes) {
    loaded.keepNormals = loaded.keepForWriting = true;
    EXPECT_TRUE(load(bytes, loaded).loaded);
    gltf::Export done = gltf::exportModel(bytes, {});
    std::vector<std::uint8_t> glb;
    EXPECT_TRUE(gltf::writeGlb(done, glb)) << done.failure;
    ok = importGltfBytes(glb, {}, {}, imported, warnings, error);
  }
};

}  // namespace

}  // namespace kxm

namespace kxm {
namespace {

// A document of 36 bytes of buffer (three float positions) around `body`'s lists.
std::vector<std::uint8_t> documentWith(const std::string& body) {
  const std::string text =
      R"({"asset":{"version":"2.0"},"buffers":[{"byteLength":36,"uri":"data:application/)"
      R"(octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}],)" +
      body + "}";
  return {text.begin(), text.end()};
}

}  // namespace

// Hostile documents end in an error that points at the fault, never a crash or a large
// allocation.
TEST(Import, RefusesBrokenDocumentsWithTheirPointers) {
  const std::string view = R"("bufferViews":[{"buffer":0,"byteLength":36}],)";
  const std::string mesh = R"("meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}])";
  struct Case {
    const char* what;
    std::string body;
    const char* pointer;
  };
  const Case cases[] = {
      {"a count past the view",
       view + R"("accessors":[{"bufferView":0,"componentType":5126,"count":4,"type":"VEC3"}],)" +
           mesh,
       "/accessors/0/count"},
      {"a huge count",
       view +
           R"("accessors":[{"bufferView":0,"componentType":5126,"count":4000000000,"type":"VEC3"}],)" +
           mesh,
       "/accessors/0/count"},
      {"zeros by the billion",
       R"("accessors":[{"componentType":5126,"count":2000000000,"type":"VEC3"}],)" + mesh,
       "/accessors/0/count"},
      {"a view past the buffer",
       R"("bufferViews":[{"buffer":0,"byteOffset":8,"byteLength":36}],"accessors":[{"bufferView":0,"componentType":5126,"count":1,"type":"VEC3"}],)" +
           mesh,
       "/bufferViews/0/byteLength"},
      {"a stride below the element",
       R"("bufferViews":[{"buffer":0,"byteLength":36,"byteStride":4}],"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"}],)" +
           mesh,
       "/bufferViews/0/byteStride"},
      {"a view of no buffer",
       R"("bufferViews":[{"buffer":3,"byteLength":36}],"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"}],)" +
           mesh,
       "/bufferViews/0/buffer"},
      {"an index past the vertices",
       R"("bufferViews":[{"buffer":0,"byteLength":36}],"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"},{"bufferView":0,"byteOffset":12,"componentType":5125,"count":3,"type":"SCALAR"}],"nodes":[{"mesh":0}],"meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1}]}])",
       "/meshes/0/primitives/0/indices"},
      {"a node that is its own ancestor", R"("nodes":[{"children":[1]},{"children":[0]}])",
       "/nodes/0/children"},
      {"a node with two parents", R"("nodes":[{"children":[2]},{"children":[2]},{}])",
       "/nodes/1/children/0"},
      {"a child that is not there", R"("nodes":[{"children":[7]}])", "/nodes/0/children/0"},
      {"a mesh that is not there", R"("nodes":[{"mesh":4}])", "/nodes/0/mesh"},
      {"a scene root that is a child", R"("nodes":[{"children":[1]},{}],"scenes":[{"nodes":[1]}])",
       "/scenes/0/nodes/0"},
      {"an unknown required extension",
       R"("extensionsUsed":["KHR_draco_mesh_compression"],"extensionsRequired":["KHR_draco_mesh_compression"])",
       "/extensionsRequired/0"},
      {"a sampler of no accessor",
       R"("nodes":[{}],"animations":[{"channels":[{"sampler":0,"target":{"node":0,"path":"translation"}}],"samplers":[{"input":5,"output":6}]}])",
       "/animations/0/samplers/0/input"},
      {"a skin joint that is not there", R"("nodes":[{}],"skins":[{"joints":[0,9]}])",
       "/skins/0/joints/1"},
  };
  for (const Case& c : cases) {
    Imported out;
    ImportWarnings warnings;
    std::string error;
    EXPECT_FALSE(importGltfBytes(documentWith(c.body), {}, {}, out, warnings, error)) << c.what;
    EXPECT_EQ(error.rfind(c.pointer, 0), 0u) << c.what << ": " << error;
    EXPECT_TRUE(out.model.empty()) << c.what;
  }
}

// Outside files are read only inside the input's folder: a URI that climbs out is refused.
TEST(Import, ReadsNoFileOutsideTheInputsFolder) {
  const std::string text =
      R"({"asset":{"version":"2.0"},"buffers":[{"byteLength":4,"uri":"../../etc/passwd"}]})";
  Imported out;
  ImportWarnings warnings;
  std::string error;
  EXPECT_FALSE(importGltfBytes({text.begin(), text.end()}, std::filesystem::temp_directory_path(),
                               {}, out, warnings, error));
  EXPECT_NE(error.find("not a file inside the input's folder"), std::string::npos) << error;
}

// The comparison the round trip rests on sees a triangle turned the other way.
TEST(Import, TheComparisonSeesATurnedTriangle) {
  RoundTrip trip(test::meshOfType(4, 3, {0, 1, 2}).bytes());
  ASSERT_TRUE(trip.ok) << trip.error;
  Mesh& mesh = trip.imported.model.frames[0].meshes[0];
  std::swap(mesh.indices[1], mesh.indices[2]);
  std::string why;
  EXPECT_FALSE(test::sameModel(trip.loaded, trip.imported.model, why));
  EXPECT_EQ(why, "frame 0 (NoName0): mesh 0: drawing differs");
}

}  // namespace kxm
