// What kxm export keeps in glTF's `extras` of what a KXM file holds and glTF does not, so that
// kxm import gives the same model back: every key, the layout of the words kept in accessors,
// and the fingerprint that tells whether the glTF still holds what the extras were written
// beside. Both sides take their vocabulary from here.
//
// Everything sits under the key "kxm" of an object's extras. tinygltf drops nulls and empty
// lists and objects, so a key that is missing means an empty list or no such chunk. A float is
// a JSON number, or, where it is not finite, a string of its 32 bits ("0x7FC00000"); integers
// of 32 bits are numbers. Words kept in accessors are unsigned 32-bit scalars: a float's bits,
// an integer's value.
//
//   scene      customData     [base64 of each custom data chunk]
//              animationSets  [the animation each set became, or the whole set where none]
//   node       transform      {of, matrix, offset, rotation, scale, order}: the chunks the frame
//                             has, and their codes in the order it has them where not the usual
//              heldBy         the node of the frame whose chunk holds the frame's, and
//              afterMeshes    how many of that frame's meshes come before it, where not all
//              nameless       true for a frame without a name chunk
//              meshes         [the mesh each of the frame's meshes became, or the whole mesh]
//   mesh       renderStates   [[code, value]...], textures [{name, states, start, count}]
//              absent         [the codes of the value chunks the mesh does not have]
//              material       the mesh's own material where its ranges have their own
//              geometry       {of, fvf, type, indexed, indices, vertices, normals, drawVertices,
//                              drawPrimitives, ranges, bones, boneVertices, boneWeights}: the
//                             vertices and normals the attributes do not give back, each as its
//                             index and its words (every one, of a mesh kept whole)
//   material   of, diffuse, ambient, specular, emissive, power
//   animation  of, name, length, animations [{bone, keys: [position, rotation, scale, matrix]}],
//              keys
//
// `of` is the fingerprint of the glTF's own data that the extras stand in for, and of the
// accessors they name: a node's transform, a mesh's primitives and attributes, a material's
// factors, an animation's channels. Where the glTF no longer gives it, the extras do not fit.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/model.h"

namespace kxm::extras {

inline constexpr char kKey[] = "kxm";
inline constexpr char kOf[] = "of";

// The scene's.
inline constexpr char kCustomData[] = "customData";
inline constexpr char kAnimationSets[] = "animationSets";
// A node's.
inline constexpr char kTransform[] = "transform";
inline constexpr char kMatrix[] = "matrix";
inline constexpr char kOffset[] = "offset";
inline constexpr char kRotation[] = "rotation";
inline constexpr char kScale[] = "scale";
inline constexpr char kOrder[] = "order";
inline constexpr char kHeldBy[] = "heldBy";
inline constexpr char kAfterMeshes[] = "afterMeshes";
inline constexpr char kNameless[] = "nameless";
inline constexpr char kMeshes[] = "meshes";
// A mesh's.
inline constexpr char kRenderStates[] = "renderStates";
inline constexpr char kAbsent[] = "absent";
inline constexpr char kTextures[] = "textures";
inline constexpr char kName[] = "name";
inline constexpr char kStates[] = "states";
inline constexpr char kStart[] = "start";
inline constexpr char kCount[] = "count";
inline constexpr char kMaterial[] = "material";
inline constexpr char kGeometry[] = "geometry";
inline constexpr char kFvf[] = "fvf";
inline constexpr char kType[] = "type";
inline constexpr char kIndexed[] = "indexed";
inline constexpr char kIndices[] = "indices";
inline constexpr char kVertices[] = "vertices";
inline constexpr char kNormals[] = "normals";
inline constexpr char kDrawVertices[] = "drawVertices";
inline constexpr char kDrawPrimitives[] = "drawPrimitives";
inline constexpr char kRanges[] = "ranges";
inline constexpr char kPolygons[] = "polygons";
inline constexpr char kPrimitive[] = "primitive";
inline constexpr char kBones[] = "bones";
inline constexpr char kWeights[] = "weights";
inline constexpr char kBoneVertices[] = "boneVertices";
inline constexpr char kBoneWeights[] = "boneWeights";
// A material's.
inline constexpr char kDiffuse[] = "diffuse";
inline constexpr char kAmbient[] = "ambient";
inline constexpr char kSpecular[] = "specular";
inline constexpr char kEmissive[] = "emissive";
inline constexpr char kPower[] = "power";
// An animation's.
inline constexpr char kLength[] = "length";
inline constexpr char kAnimations[] = "animations";
inline constexpr char kBone[] = "bone";
inline constexpr char kKeys[] = "keys";

// The attributes a mesh's fingerprint takes, in this order.
inline constexpr const char* kAttributes[] = {"POSITION",   "NORMAL",   "COLOR_0",  "TEXCOORD_0",
                                              "TEXCOORD_1", "JOINTS_0", "WEIGHTS_0"};

// Words of each record kept whole, as the model holds it: a vertex, a normal, and the keys (the
// time first, then the values).
template <class Record>
inline constexpr std::size_t kWords = sizeof(Record) / 4;
static_assert(kWords<MeshVertex> == 11 && kWords<Normal> == 3);
static_assert(kWords<PositionKey> == 4 && kWords<RotationKey> == 5 && kWords<ScaleKey> == 4 &&
              kWords<MatrixKey> == 17);

// glTF's words as a fingerprint takes them: alpha modes, animation paths and interpolations.
inline std::uint32_t alphaModeCode(const std::string& mode) {
  return mode == "BLEND" ? 2 : mode == "MASK" ? 1 : 0;
}
inline std::uint32_t pathCode(const std::string& path) {
  return path == "translation" ? 0 : path == "rotation" ? 1 : path == "scale" ? 2 : 3;
}
inline std::uint32_t interpolationCode(const std::string& interpolation) {
  return interpolation == "STEP" ? 1 : interpolation == "CUBICSPLINE" ? 2 : 0;
}

// FNV-1a over 32-bit words, the words dealt in turn to four lanes that a processor works at
// once: not a guard against forgery (the extras are checked as hostile input however they fit),
// only a sure sign that what it was taken of has changed.
class Fingerprint {
 public:
  void word(std::uint32_t word) {
    std::uint64_t& lane = lanes_[count_++ % 4];
    lane = (lane ^ word) * kPrime;
  }
  void real(float value) { word(std::bit_cast<std::uint32_t>(value)); }
  void words(const std::uint32_t* words, std::size_t count) {
    std::size_t i = 0;
    for (; i < count && count_ % 4 != 0; ++i) word(words[i]);
    const std::size_t start = i;
    std::uint64_t a = lanes_[0], b = lanes_[1], c = lanes_[2], d = lanes_[3];
    for (; i + 4 <= count; i += 4) {  // four chains the processor runs side by side
      a = (a ^ words[i]) * kPrime;
      b = (b ^ words[i + 1]) * kPrime;
      c = (c ^ words[i + 2]) * kPrime;
      d = (d ^ words[i + 3]) * kPrime;
    }
    lanes_[0] = a, lanes_[1] = b, lanes_[2] = c, lanes_[3] = d;
    count_ += i - start;
    for (; i < count; ++i) word(words[i]);
  }
  // Another fingerprint taken in, or nothing (0) where there was nothing to take.
  void print(std::uint64_t value) {
    word(static_cast<std::uint32_t>(value));
    word(static_cast<std::uint32_t>(value >> 32));
  }
  std::uint64_t value() const {
    std::uint64_t v = kBasis ^ count_;
    for (const std::uint64_t lane : lanes_) v = (v ^ lane) * kPrime;
    return v;
  }
  // 16 lower-case hexadecimal digits.
  std::string text() const {
    static const char hex[] = "0123456789abcdef";
    const std::uint64_t v = value();
    std::string out(16, '0');
    for (std::size_t i = 0; i < 16; ++i) out[15 - i] = hex[(v >> (4 * i)) & 0xF];
    return out;
  }

 private:
  static constexpr std::uint64_t kBasis = 0xCBF29CE484222325ULL;
  static constexpr std::uint64_t kPrime = 0x100000001B3ULL;
  std::uint64_t lanes_[4] = {kBasis, kBasis + 1, kBasis + 2, kBasis + 3};
  std::uint64_t count_ = 0;
};

}  // namespace kxm::extras
