// From the file's space to glTF's. The file follows Direct3D: left-handed, row vectors, a matrix
// stored row by row with its translation in elements 12 to 14. glTF is right-handed with column
// vectors and stores matrices column by column. The 16 floats of a row-vector matrix, read
// column by column, are the column-vector matrix of the same transform, so only the handedness
// is left to convert: the export mirrors z (S = diag(1, 1, -1)), which turns a point (x, y, z)
// into (x, y, -z), a matrix M into S M S and a rotation quaternion (x, y, z, w) into
// (-x, -y, z, w). Mirroring reverses the turn of every triangle, so windings are flipped too.
#pragma once

#include <array>

namespace kxm::gltf {

using Vec3 = std::array<float, 3>;
using Quat = std::array<float, 4>;      // x, y, z, w
using Matrix4 = std::array<float, 16>;  // column-major, as glTF stores it

// Adding +0 turns the -0 of a mirrored 0 into 0.
inline Vec3 pointToGltf(const float p[3]) {
  return {p[0], p[1], -p[2] + 0.0f};
}
Quat rotationToGltf(const float q[4]);
Matrix4 matrixToGltf(const float m[16]);

// A frame's transform from its parts, in the file's space: scaled, then rotated about x, then y,
// then z (radians, turning as Direct3D's rotations do), then moved by the offset.
Matrix4 matrixFromParts(const float offset[3], const float rotation[3], const float scale[3]);

struct Trs {
  Vec3 translation{0, 0, 0};
  Quat rotation{0, 0, 0, 1};
  Vec3 scale{1, 1, 1};
};

// Splits a glTF matrix into translation, unit rotation and scale (a mirroring matrix gets a
// negative x scale). `exact` says whether they give the matrix back: false for shear or
// projection, which glTF's nodes cannot hold; the result is then the nearest rotation and scale.
Trs decompose(const Matrix4& m, bool& exact);

// Whether every part is a finite float. A matrix of finite floats can still have a scale past
// the float range (a column of two elements of 3.4e38 is 4.8e38 long), which glTF cannot hold.
bool isFinite(const Trs& trs);

// A unit quaternion, or identity for one of zero or non-finite length.
Quat normalised(Quat q);

}  // namespace kxm::gltf
