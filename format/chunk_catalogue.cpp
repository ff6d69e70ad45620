#include "format/chunk_catalogue.h"

#include <array>

namespace kxm {

namespace {

struct Entry {
  ChunkCode code;
  const char* name;
  ChunkFamily family;
  ShownValue shown = ShownValue::None;
};

constexpr Entry kCatalogue[] = {
    {chunk::End, "END", ChunkFamily::End},
    {chunk::FrameName, "Frame Name", ChunkFamily::Frame},
    {chunk::FrameMatrix, "Frame Matrix", ChunkFamily::Frame},
    {chunk::FrameMesh, "Frame MESH", ChunkFamily::Frame},
    {chunk::FrameChild, "Frame CHILD", ChunkFamily::Frame},
    {chunk::FrameSibling, "Frame SIBLING", ChunkFamily::Frame},
    {chunk::FrameOffset, "Frame Offset", ChunkFamily::Frame},
    {chunk::FrameRotation, "Frame Rotation", ChunkFamily::Frame},
    {chunk::FrameScale, "Frame Scale", ChunkFamily::Frame},
    {chunk::MeshFvfFlags, "Mesh FVF Flags", ChunkFamily::Mesh},
    {chunk::MeshFvfSize, "Mesh FVF Size", ChunkFamily::Mesh},
    {chunk::MeshVertexCount, "Mesh Vertex Count", ChunkFamily::Mesh},
    {chunk::MeshIndexCount, "Mesh Index Count", ChunkFamily::Mesh},
    {chunk::MeshVertexData, "Mesh Vertex Data", ChunkFamily::Mesh},
    {chunk::MeshIndexData, "Mesh Index Data", ChunkFamily::Mesh},
    {chunk::MeshPrimitiveType, "Mesh Primitive Type", ChunkFamily::Mesh},
    {chunk::MeshDrawVertexCount, "Mesh Draw Vertex Count", ChunkFamily::Mesh},
    {chunk::MeshDrawPrimitiveCount, "Mesh Draw Primitive Count", ChunkFamily::Mesh},
    {chunk::MeshVertexDeclaration, "Mesh Vertex Declaration", ChunkFamily::Mesh},
    {chunk::MeshBoneCount, "Mesh Bone Count", ChunkFamily::Mesh},
    {chunk::MeshBonesData, "Mesh BONES DATA", ChunkFamily::Mesh},
    {chunk::UseMultipleMaterials, "Use Multiple Materials", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::MultipleMaterialCount, "Multiple Material Count", ChunkFamily::Mesh},
    {chunk::MeshUsesMaterial, "Mesh Uses Material", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::MeshMaterial, "Mesh Material", ChunkFamily::Mesh},
    {chunk::MeshTextureCount, "Mesh Texture Count", ChunkFamily::Mesh},
    {chunk::MeshTextures, "Mesh TEXTURES", ChunkFamily::Mesh},
    {chunk::MeshWireframe, "Mesh Wireframe", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::MeshLight, "Mesh Light", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::MeshCull, "Mesh Cull", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::MeshFog, "Mesh Fog", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::MeshAmbient, "Mesh Ambient", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::MeshTransparency, "Mesh Transparency", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::MeshGhost, "Mesh Ghost", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::MeshGhostMode, "Mesh Ghost Mode", ChunkFamily::Mesh, ShownValue::Int32},
    {chunk::MeshLinkedSkip, "Mesh Linked - skip", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::MeshSubFramesSkip, "Mesh Sub Frames - skip", ChunkFamily::Mesh, ShownValue::Int32},
    {chunk::MultipleMaterials, "Multiple MATERIALS", ChunkFamily::Mesh},
    {chunk::MeshVisible, "Mesh Visible", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::TextureName, "Texture Name", ChunkFamily::Texture},
    {chunk::TextureStage, "Texture Stage", ChunkFamily::Texture},
    {chunk::TextureBlendMode, "Texture Blend Mode", ChunkFamily::Texture},
    {chunk::TextureArg1, "Texture Arg 1", ChunkFamily::Texture},
    {chunk::TextureArg2, "Texture Arg 2", ChunkFamily::Texture},
    {chunk::TextureAddressU, "Texture Address U", ChunkFamily::Texture},
    {chunk::TextureAddressV, "Texture Address V", ChunkFamily::Texture},
    {chunk::TextureMag, "Texture Mag", ChunkFamily::Texture},
    {chunk::TextureMin, "Texture Min", ChunkFamily::Texture},
    {chunk::TextureMip, "Texture Mip", ChunkFamily::Texture},
    {chunk::TextureTcMode, "Texture TC Mode", ChunkFamily::Texture},
    {chunk::TexturePrimitiveStart, "Texture Primitive Start", ChunkFamily::Texture},
    {chunk::TexturePrimitiveCount, "Texture Primitive Count", ChunkFamily::Texture},
    {chunk::MeshFxEffectName, "Mesh FX Effect Name", ChunkFamily::Mesh},
    {chunk::MeshArbitraryValue, "Mesh Arbitrary Value", ChunkFamily::Mesh, ShownValue::Float32},
    {chunk::MeshZBiasFlag, "Mesh Z Bias Flag", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::MeshZBiasSlope, "Mesh Z Bias Slope", ChunkFamily::Mesh, ShownValue::Float32},
    {chunk::MeshZBiasDepth, "Mesh Z Bias Depth", ChunkFamily::Mesh, ShownValue::Float32},
    {chunk::MeshZRead, "Mesh Z Read", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::MeshZWrite, "Mesh Z Write", ChunkFamily::Mesh, ShownValue::Byte},
    {chunk::MultiMaterialName, "MultiMaterial Name", ChunkFamily::MultiMaterial},
    {chunk::MultiMaterialMaterial, "MultiMaterial Material", ChunkFamily::MultiMaterial},
    {chunk::MultiMaterialIndexStart, "MultiMaterial Index Start", ChunkFamily::MultiMaterial},
    {chunk::MultiMaterialIndexCount, "MultiMaterial Index Count", ChunkFamily::MultiMaterial},
    {chunk::MultiMaterialPolygonCount, "MultiMaterial Polygon Count", ChunkFamily::MultiMaterial},
    {chunk::MeshAlphaTestValue, "Mesh Alpha Test Value", ChunkFamily::Mesh, ShownValue::Float32},
    {chunk::AnimationSetName, "AnimationSet Name", ChunkFamily::AnimationSet},
    {chunk::AnimationSetLength, "AnimationSet Length", ChunkFamily::AnimationSet},
    {chunk::AnimationSetData, "AnimationSet DATA", ChunkFamily::AnimationSet},
    {chunk::AnimBoneName, "AnimBone Name", ChunkFamily::Animation},
    {chunk::PositionKeyCount, "Position Key Count", ChunkFamily::Animation},
    {chunk::PositionData, "Position Data", ChunkFamily::Animation},
    {chunk::RotationKeyCount, "Rotation Key Count", ChunkFamily::Animation},
    {chunk::RotationData, "Rotation Data", ChunkFamily::Animation},
    {chunk::ScaleKeyCount, "Scale Key Count", ChunkFamily::Animation},
    {chunk::ScaleData, "Scale Data", ChunkFamily::Animation},
    {chunk::MatrixKeyCount, "Matrix Key Count", ChunkFamily::Animation},
    {chunk::MatrixData, "Matrix Data", ChunkFamily::Animation},
    {chunk::NextAnimation, "Next ANIMATION", ChunkFamily::Animation},
    {chunk::BonesName, "Bones Name", ChunkFamily::Bone},
    {chunk::BonesNumInfluences, "Bones Num Influences", ChunkFamily::Bone},
    {chunk::BonesVertices, "Bones Vertices", ChunkFamily::Bone},
    {chunk::BonesWeights, "Bones Weights", ChunkFamily::Bone},
    {chunk::BonesTranslationMatrix, "Bones Translation Matrix", ChunkFamily::Bone},
    {chunk::FrameBoneType, "Frame BoneType", ChunkFamily::FrameBone},
    {chunk::FrameBoneOffsetList, "Frame BoneOffsetList", ChunkFamily::FrameBone},
    {chunk::FrameBoneOffsetListSize, "Frame BoneOffsetListSize", ChunkFamily::FrameBone},
    {chunk::FrameBoneMatrixSizeA, "Frame BoneMatrixSizeA", ChunkFamily::FrameBone},
    {chunk::FrameBoneMatrixSizeB, "Frame BoneMatrixSizeB", ChunkFamily::FrameBone},
    {chunk::FrameBoneMatrixList, "Frame BoneMatrixList", ChunkFamily::FrameBone},
    {chunk::FrameBoneMatrixData, "Frame BoneMatrixData", ChunkFamily::FrameBone},
};

constexpr ChunkCode kHighestCode = 406;
constexpr const char* kUnknown = "UNKNOWN";

// Every code up to the highest listed one, looked up in one step.
constexpr auto kByCode = [] {
  std::array<Entry, kHighestCode + 1> byCode{};
  for (auto& entry : byCode) entry = {0, kUnknown, ChunkFamily::Unknown, ShownValue::None};
  for (const Entry& entry : kCatalogue) byCode[entry.code] = entry;
  return byCode;
}();

}  // namespace

const char* chunkNameOf(ChunkCode code) {
  return code <= kHighestCode ? kByCode[code].name : kUnknown;
}

ChunkFamily chunkFamilyOf(ChunkCode code) {
  return code <= kHighestCode ? kByCode[code].family : ChunkFamily::Unknown;
}

ShownValue shownValueOf(ChunkCode code) {
  return code <= kHighestCode ? kByCode[code].shown : ShownValue::None;
}

const char* topLevelNameOf(ChunkCode code) {
  return code == chunk::FrameRoot          ? "Frame ROOT"
         : code == chunk::AnimationSetRoot ? "AnimationSet ROOT"
                                           : kUnknown;
}

}  // namespace kxm
