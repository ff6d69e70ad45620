// The names of chunk codes: the format's vocabulary. One catalogue for chunks inside chunks,
// with the family each code belongs to (which walker reads it), and two names for top-level
// chunks. Code uses the codes by their names (chunk::FrameName), never as bare numbers.
#pragma once

#include <cstdint>

namespace kxm {

using ChunkCode = std::uint32_t;

namespace chunk {

// Every catalogued code, named after its catalogue name; then the three the top level reads.
enum : ChunkCode {
  End = 0,
  FrameName = 101,
  FrameMatrix = 102,
  FrameMesh = 103,
  FrameChild = 104,
  FrameSibling = 105,
  FrameOffset = 106,
  FrameRotation = 107,
  FrameScale = 108,
  MeshFvfFlags = 111,
  MeshFvfSize = 112,
  MeshVertexCount = 113,
  MeshIndexCount = 114,
  MeshVertexData = 115,
  MeshIndexData = 116,
  MeshPrimitiveType = 117,
  MeshDrawVertexCount = 118,
  MeshDrawPrimitiveCount = 119,
  MeshVertexDeclaration = 120,
  MeshBoneCount = 121,
  MeshBonesData = 122,
  UseMultipleMaterials = 123,
  MultipleMaterialCount = 124,
  MeshUsesMaterial = 125,
  MeshMaterial = 126,
  MeshTextureCount = 127,
  MeshTextures = 128,
  MeshWireframe = 129,
  MeshLight = 130,
  MeshCull = 131,
  MeshFog = 132,
  MeshAmbient = 133,
  MeshTransparency = 134,
  MeshGhost = 135,
  MeshGhostMode = 136,
  MeshLinkedSkip = 137,
  MeshSubFramesSkip = 138,
  MultipleMaterials = 139,
  MeshVisible = 140,
  TextureName = 141,
  TextureStage = 142,
  TextureBlendMode = 143,
  TextureArg1 = 144,
  TextureArg2 = 145,
  TextureAddressU = 146,
  TextureAddressV = 147,
  TextureMag = 148,
  TextureMin = 149,
  TextureMip = 150,
  TextureTcMode = 151,
  TexturePrimitiveStart = 152,
  TexturePrimitiveCount = 153,
  MeshFxEffectName = 154,
  MeshArbitraryValue = 155,
  MeshZBiasFlag = 156,
  MeshZBiasSlope = 157,
  MeshZBiasDepth = 158,
  MeshZRead = 159,
  MeshZWrite = 160,
  MultiMaterialName = 161,
  MultiMaterialMaterial = 162,
  MultiMaterialIndexStart = 163,
  MultiMaterialIndexCount = 164,
  MultiMaterialPolygonCount = 165,
  MeshAlphaTestValue = 166,
  AnimationSetName = 201,
  AnimationSetLength = 202,
  AnimationSetData = 203,
  AnimBoneName = 211,
  PositionKeyCount = 212,
  PositionData = 213,
  RotationKeyCount = 214,
  RotationData = 215,
  ScaleKeyCount = 216,
  ScaleData = 217,
  MatrixKeyCount = 218,
  MatrixData = 219,
  NextAnimation = 220,
  BonesName = 301,
  BonesNumInfluences = 302,
  BonesVertices = 303,
  BonesWeights = 304,
  BonesTranslationMatrix = 305,
  FrameBoneType = 400,
  FrameBoneOffsetList = 401,
  FrameBoneOffsetListSize = 402,
  FrameBoneMatrixSizeA = 403,
  FrameBoneMatrixSizeB = 404,
  FrameBoneMatrixList = 405,
  FrameBoneMatrixData = 406,
  // At the top level only: 406 is custom data there, not "Frame BoneMatrixData".
  FrameRoot = 1,
  AnimationSetRoot = 2,
  CustomData = 406,
};

}  // namespace chunk

// Which walker reads a catalogued code; Unknown for a code the catalogue does not list. Frame
// bone codes are named but read by no walker: the frame walker passes them over.
enum class ChunkFamily {
  Unknown,
  End,
  Frame,
  FrameBone,
  Mesh,
  Texture,
  MultiMaterial,
  Bone,
  AnimationSet,
  Animation
};

// The render states of a mesh: a value the mesh walker shows and stores nowhere, of one byte, a
// 32-bit integer or a 32-bit float. None for every other code.
enum class ShownValue { None, Byte, Int32, Float32 };

// The inner-catalogue name of a code, "UNKNOWN" for an unlisted one (1 and 2 included).
const char* chunkNameOf(ChunkCode code);
ChunkFamily chunkFamilyOf(ChunkCode code);
ShownValue shownValueOf(ChunkCode code);

// "Frame ROOT" for code 1, "AnimationSet ROOT" for code 2, "UNKNOWN" for any other.
const char* topLevelNameOf(ChunkCode code);

}  // namespace kxm
