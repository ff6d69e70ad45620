// The import's parts share this: the parsed document, the model being filled, the frame each
// node became, and the conversions from glTF's space back to the file's. Each part has its own
// file: frames.cpp, meshes.cpp, materials.cpp (with texture_files.cpp), skins.cpp, animations.cpp.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <tiny_gltf.h>

#include "image/image.h"
#include "import/accessors.h"
#include "import/gltf_import.h"
#include "import/kept.h"

namespace kxm::gltfin {

// Mirroring z (S = diag(1, 1, -1)) is its own inverse: kxm export's conversions, applied again,
// give the file's numbers back.
inline void pointFromGltf(const double in[3], float out[3]) {
  out[0] = static_cast<float>(in[0]);
  out[1] = static_cast<float>(in[1]);
  out[2] = static_cast<float>(-in[2]) + 0.0f;
}
// A column-major glTF matrix as the file's 16 floats (row vectors, row by row): S M S.
void matrixFromGltf(const double in[16], float out[16]);
// A glTF rotation as the file's Euler angles in radians (about x, then y, then z).
void eulerFromGltf(const double q[4], float out[3]);

// A name as the model holds it: the UTF-8 of kxm export back to its bytes where every code
// point is below 256, else the UTF-8 itself; at most 127 bytes.
void copyName(const std::string& utf8, char (&out)[kNameSize]);

class Importer {
 public:
  Importer(const tinygltf::Model& doc, const ImportOptions& options, Imported& out,
           ImportWarnings& warnings)
      : doc_(doc), options_(options), out_(out), model_(out.model), warnings_(warnings) {}

  bool run(std::string& error);

 private:
  // frames.cpp
  void addFrames();
  std::vector<int> frameOrder(const std::vector<int>& visited,
                              const std::vector<int>& parentNode) const;
  int frameOfMeshNode(std::size_t node, int parentNode) const;
  void setTransform(std::size_t node, Frame& frame);
  void keptPlace(std::size_t node, Frame& frame);
  void placeAfterMeshes();
  // meshes.cpp
  bool addMeshes(std::string& error);
  bool addFrameMeshes(std::size_t frame, const std::vector<std::size_t>& nodes, std::string& error);
  bool addMesh(std::size_t node, std::size_t frame, std::string& error);
  bool addGroup(std::size_t node, std::size_t frame, std::size_t first, std::size_t last,
                Mesh& mesh, std::string& error);
  bool fillVertices(const tinygltf::Primitive& prim, const std::string& where, Mesh& mesh);
  bool appendIndices(const tinygltf::Primitive& prim, const std::string& where,
                     std::uint32_t vertices, std::vector<std::uint32_t>& out, std::string& error);
  // materials.cpp
  void setMaterial(int material, Material& out);
  void addTextures(const tinygltf::Primitive& prim, Mesh& mesh);
  std::string textureFile(int image);
  // texture_files.cpp
  bool convertImage(const std::vector<std::uint8_t>& bytes, image::Kind kind,
                    const std::string& what, std::vector<std::uint8_t>& out);
  bool convertImage(const std::vector<std::uint8_t>& bytes, image::Kind kind, image::Kind target,
                    const std::string& what, std::vector<std::uint8_t>& out);
  // Without --textures: the image's bytes made the kind its texture name says, where they are not.
  void asKindNamed(const std::string& name, ImportedImage& file);
  std::string convertedName(const std::string& name) const;
  // skins.cpp
  bool addBones(std::size_t node, std::size_t frame, const tinygltf::Primitive& prim, Mesh& mesh,
                std::string& error);
  // animations.cpp
  bool addAnimations(std::string& error);
  bool addAnimation(std::size_t a, std::string& error);
  bool addChannel(std::size_t a, std::size_t c, AnimationSet& set, std::string& error);
  // kept.cpp: what kxm export kept in extras, where it still fits the glTF
  void ignored(const std::string& where, const std::string& why) {
    warn(IssueCode::ExtrasIgnored, where + ": kxm extras " + why + "; ignored");
  }
  std::uint64_t printOf(int accessor);
  // The words of the accessor a kept value names: unsigned 32-bit scalars, `count` of them
  // (any number for 0).
  bool keptWords(const tinygltf::Value* index, std::size_t count, std::vector<std::uint32_t>& out);
  bool keptTransform(std::size_t node, Frame& frame);
  bool keptMaterialFits(const tinygltf::Material& material);
  void addCustomData();
  // kept_meshes.cpp
  bool keptGeometryFits(std::size_t m, const tinygltf::Value& geometry);
  bool meshFromKept(const tinygltf::Value& kept, const tinygltf::Mesh* gm, Mesh& mesh);
  bool keptIndices(const tinygltf::Value& geometry, const tinygltf::Mesh* gm, Mesh& mesh);
  bool keptRanges(const tinygltf::Value& geometry, const tinygltf::Mesh* gm, Mesh& mesh);
  bool keptBones(const tinygltf::Value& geometry, Mesh& mesh);
  void keptState(const tinygltf::Value* kept, const std::string& where, Mesh& mesh);
  // kept_sets.cpp
  bool keptSetFits(std::size_t a, const tinygltf::Value& kept);
  bool setFromKept(const tinygltf::Value& kept, AnimationSet& set);

  void warn(IssueCode code, std::string text) { warnings_.add(code, std::move(text)); }
  // An accessor's values as floats, in a vector kept for the next: valid until the next call.
  const std::vector<float>& floats(std::size_t accessor);
  const BlockSource& blocks() const {
    return options_.blocks != nullptr ? *options_.blocks : systemBlocks();
  }
  // The scene shown: the default one, else the first; only where there is one.
  std::size_t sceneShown() const {
    return doc_.defaultScene >= 0 &&
                   static_cast<std::size_t>(doc_.defaultScene) < doc_.scenes.size()
               ? static_cast<std::size_t>(doc_.defaultScene)
               : 0;
  }
  void leftOut();

  const tinygltf::Model& doc_;
  const ImportOptions& options_;
  Imported& out_;
  Model& model_;
  ImportWarnings& warnings_;
  bool ours_ = false;                      // written by kxm export: its own conventions are undone
  std::vector<int> frameOf_;               // node -> frame, -1 for a node that is not one
  std::vector<int> frameNode_;             // frame -> its node
  std::vector<bool> isFrame_;              // node -> whether it became a frame
  std::vector<int> meshFrameOf_;           // node -> the frame its mesh goes on
  std::map<int, std::uint64_t> prints_;    // accessor -> its fingerprint, once taken
  std::map<int, std::string> imageFiles_;  // image -> its file's name, "" when not written
  std::vector<float> scratch_;             // floats(): one attribute's values at a time
};

}  // namespace kxm::gltfin
