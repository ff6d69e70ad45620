#include "reader/chunk_catalogue.h"

#include <array>

namespace kxm {

namespace {

struct Entry {
  ChunkCode code;
  const char* name;
};

constexpr Entry kCatalogue[] = {
    {0, "END"},
    // frame
    {101, "Frame Name"},
    {102, "Frame Matrix"},
    {103, "Frame MESH"},
    {104, "Frame CHILD"},
    {105, "Frame SIBLING"},
    {106, "Frame Offset"},
    {107, "Frame Rotation"},
    {108, "Frame Scale"},
    // mesh
    {111, "Mesh FVF Flags"},
    {112, "Mesh FVF Size"},
    {113, "Mesh Vertex Count"},
    {114, "Mesh Index Count"},
    {115, "Mesh Vertex Data"},
    {116, "Mesh Index Data"},
    {117, "Mesh Primitive Type"},
    {118, "Mesh Draw Vertex Count"},
    {119, "Mesh Draw Primitive Count"},
    {120, "Mesh Vertex Declaration"},
    {121, "Mesh Bone Count"},
    {122, "Mesh BONES DATA"},
    {123, "Use Multiple Materials"},
    {124, "Multiple Material Count"},
    {125, "Mesh Uses Material"},
    {126, "Mesh Material"},
    {127, "Mesh Texture Count"},
    {128, "Mesh TEXTURES"},
    {129, "Mesh Wireframe"},
    {130, "Mesh Light"},
    {131, "Mesh Cull"},
    {132, "Mesh Fog"},
    {133, "Mesh Ambient"},
    {134, "Mesh Transparency"},
    {135, "Mesh Ghost"},
    {136, "Mesh Ghost Mode"},
    {137, "Mesh Linked - skip"},
    {138, "Mesh Sub Frames - skip"},
    {139, "Multiple MATERIALS"},
    {140, "Mesh Visible"},
    // texture
    {141, "Texture Name"},
    {142, "Texture Stage"},
    {143, "Texture Blend Mode"},
    {144, "Texture Arg 1"},
    {145, "Texture Arg 2"},
    {146, "Texture Address U"},
    {147, "Texture Address V"},
    {148, "Texture Mag"},
    {149, "Texture Min"},
    {150, "Texture Mip"},
    {151, "Texture TC Mode"},
    {152, "Texture Primitive Start"},
    {153, "Texture Primitive Count"},
    // mesh, continued
    {154, "Mesh FX Effect Name"},
    {155, "Mesh Arbitrary Value"},
    {156, "Mesh Z Bias Flag"},
    {157, "Mesh Z Bias Slope"},
    {158, "Mesh Z Bias Depth"},
    {159, "Mesh Z Read"},
    {160, "Mesh Z Write"},
    // multi-material
    {161, "MultiMaterial Name"},
    {162, "MultiMaterial Material"},
    {163, "MultiMaterial Index Start"},
    {164, "MultiMaterial Index Count"},
    {165, "MultiMaterial Polygon Count"},
    {166, "Mesh Alpha Test Value"},
    // animation set and animation
    {201, "AnimationSet Name"},
    {202, "AnimationSet Length"},
    {203, "AnimationSet DATA"},
    {211, "AnimBone Name"},
    {212, "Position Key Count"},
    {213, "Position Data"},
    {214, "Rotation Key Count"},
    {215, "Rotation Data"},
    {216, "Scale Key Count"},
    {217, "Scale Data"},
    {218, "Matrix Key Count"},
    {219, "Matrix Data"},
    {220, "Next ANIMATION"},
    // bones
    {301, "Bones Name"},
    {302, "Bones Num Influences"},
    {303, "Bones Vertices"},
    {304, "Bones Weights"},
    {305, "Bones Translation Matrix"},
    // frame bones: named, read by no walker
    {400, "Frame BoneType"},
    {401, "Frame BoneOffsetList"},
    {402, "Frame BoneOffsetListSize"},
    {403, "Frame BoneMatrixSizeA"},
    {404, "Frame BoneMatrixSizeB"},
    {405, "Frame BoneMatrixList"},
    {406, "Frame BoneMatrixData"},
};
static_assert(std::size(kCatalogue) == 90);

constexpr ChunkCode kHighestCode = 406;
constexpr const char* kUnknown = "UNKNOWN";

// Every code up to the highest listed one, looked up in one step.
constexpr auto kByCode = [] {
  std::array<const char*, kHighestCode + 1> names{};
  for (auto& name : names) name = kUnknown;
  for (const Entry& entry : kCatalogue) names[entry.code] = entry.name;
  return names;
}();

}  // namespace

const char* chunkNameOf(ChunkCode code) {
  return code <= kHighestCode ? kByCode[code] : kUnknown;
}

const char* topLevelNameOf(ChunkCode code) {
  return code == 1 ? "Frame ROOT" : code == 2 ? "AnimationSet ROOT" : kUnknown;
}

}  // namespace kxm
