#include "export/space.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kxm::gltf {

namespace {

struct Rows {  // a row-vector matrix, row by row
  double v[4][4] = {};
  double* operator[](int row) { return v[row]; }
  const double* operator[](int row) const { return v[row]; }
};

Rows multiply(const Rows& a, const Rows& b) {
  Rows r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) r[i][j] += a[i][k] * b[k][j];
  return r;
}

Rows identity() {
  Rows r;
  for (int i = 0; i < 4; ++i) r[i][i] = 1;
  return r;
}

// Direct3D's rotation about one axis for row vectors: a positive angle turns clockwise when
// looking along the axis towards the origin.
Rows rotationAbout(int axis, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  const int a = (axis + 1) % 3, b = (axis + 2) % 3;
  Rows r = identity();
  r[a][a] = c;
  r[a][b] = s;
  r[b][a] = -s;
  r[b][b] = c;
  return r;
}

// The upper 3x3 of a matrix as the length of each column and a rotation, r[row][column].
struct ScaledTurn {
  double r[3][3];
  double s[3];
};

// Each column's length and direction. A column scaled to nothing has no direction of its own:
// the turn is completed from the others (their cross product, or the axis itself), so that it
// stays a rotation; a mirroring turn gives its mirror to the x scale.
ScaledTurn splitColumns(const Matrix4& m) {
  ScaledTurn t;
  auto& r = t.r;
  auto& s = t.s;
  for (std::size_t c = 0; c < 3; ++c) {
    const float* column = m.data() + c * 4;
    s[c] = std::sqrt(double{column[0]} * column[0] + double{column[1]} * column[1] +
                     double{column[2]} * column[2]);
    for (std::size_t row = 0; row < 3; ++row) r[row][c] = s[c] > 0 ? column[row] / s[c] : 0;
  }
  for (std::size_t c = 0; c < 3; ++c) {
    if (s[c] > 0) continue;
    const std::size_t a = (c + 1) % 3, b = (c + 2) % 3;
    if (s[a] > 0 && s[b] > 0) {
      r[0][c] = r[1][a] * r[2][b] - r[2][a] * r[1][b];
      r[1][c] = r[2][a] * r[0][b] - r[0][a] * r[2][b];
      r[2][c] = r[0][a] * r[1][b] - r[1][a] * r[0][b];
    } else {
      for (std::size_t row = 0; row < 3; ++row) r[row][c] = row == c ? 1 : 0;
    }
  }
  const double det = r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
                     r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
                     r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
  if (det < 0) {
    s[0] = -s[0];
    for (auto& row : r) row[0] = -row[0];
  }
  return t;
}

// The unit quaternion of a rotation, found from the largest of w, x, y, z first, for a
// well-conditioned square root.
Quat quaternionOf(const double (&r)[3][3]) {
  double q[4];  // x, y, z, w
  const double trace = r[0][0] + r[1][1] + r[2][2];
  if (trace > 0) {
    const double t = std::sqrt(trace + 1) * 2;
    q[3] = t / 4;
    q[0] = (r[2][1] - r[1][2]) / t;
    q[1] = (r[0][2] - r[2][0]) / t;
    q[2] = (r[1][0] - r[0][1]) / t;
  } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
    const double t = std::sqrt(1 + r[0][0] - r[1][1] - r[2][2]) * 2;
    q[3] = (r[2][1] - r[1][2]) / t;
    q[0] = t / 4;
    q[1] = (r[0][1] + r[1][0]) / t;
    q[2] = (r[0][2] + r[2][0]) / t;
  } else if (r[1][1] > r[2][2]) {
    const double t = std::sqrt(1 + r[1][1] - r[0][0] - r[2][2]) * 2;
    q[3] = (r[0][2] - r[2][0]) / t;
    q[0] = (r[0][1] + r[1][0]) / t;
    q[1] = t / 4;
    q[2] = (r[1][2] + r[2][1]) / t;
  } else {
    const double t = std::sqrt(1 + r[2][2] - r[0][0] - r[1][1]) * 2;
    q[3] = (r[1][0] - r[0][1]) / t;
    q[0] = (r[0][2] + r[2][0]) / t;
    q[1] = (r[1][2] + r[2][1]) / t;
    q[2] = t / 4;
  }
  return normalised({static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]),
                     static_cast<float>(q[3])});
}

// Whether the rotation and scales give the matrix back: built back from them and compared,
// relative to the matrix's size. The last row must be (0, 0, 0, 1), which no part can hold.
bool givesBack(const Matrix4& m, const Quat& rotation, const double (&s)[3]) {
  const double x = rotation[0], y = rotation[1], z = rotation[2];
  const double w = rotation[3];
  const double rot[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                            {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                            {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
  double size = 1, error = 0;
  for (std::size_t c = 0; c < 3; ++c) {
    for (std::size_t row = 0; row < 3; ++row) {
      const double want = m[c * 4 + row];
      size = std::max(size, std::fabs(want));
      error = std::max(error, std::fabs(rot[row][c] * s[c] - want));
    }
  }
  for (const std::size_t i : {3U, 7U, 11U}) error = std::max(error, std::fabs(double{m[i]}));
  error = std::max(error, std::fabs(double{m[15]} - 1));
  return std::isfinite(error) && error <= 1e-4 * size;
}

}  // namespace

Quat rotationToGltf(const float q[4]) {
  return normalised({-q[0], -q[1], q[2], q[3]});
}

Matrix4 matrixToGltf(const float m[16]) {
  Matrix4 g;
  for (std::size_t i = 0; i < 16; ++i) g[i] = m[i];
  // S M S: the entries of row 2 or column 2, but not both, change sign.
  for (const std::size_t i : {2U, 6U, 14U, 8U, 9U, 11U}) g[i] = -g[i] + 0.0f;
  return g;
}

Matrix4 matrixFromParts(const float offset[3], const float rotation[3], const float scale[3]) {
  Rows m = identity();
  for (int i = 0; i < 3; ++i) m[i][i] = scale[i];
  for (int axis = 0; axis < 3; ++axis) m = multiply(m, rotationAbout(axis, rotation[axis]));
  for (int i = 0; i < 3; ++i) m[3][i] += offset[i];
  float stored[16];
  for (int i = 0; i < 16; ++i) stored[i] = static_cast<float>(m[i / 4][i % 4]);
  return matrixToGltf(stored);
}

Quat normalised(Quat q) {
  const double length = std::sqrt(double{q[0]} * q[0] + double{q[1]} * q[1] + double{q[2]} * q[2] +
                                  double{q[3]} * q[3]);
  if (!(length > 1e-12) || !std::isfinite(length)) return {0, 0, 0, 1};
  for (float& c : q) c = static_cast<float>(c / length);
  return q;
}

Trs decompose(const Matrix4& m, bool& exact) {
  Trs trs;
  trs.translation = {m[12], m[13], m[14]};
  const ScaledTurn turn = splitColumns(m);
  for (std::size_t i = 0; i < 3; ++i) trs.scale[i] = static_cast<float>(turn.s[i]);
  trs.rotation = quaternionOf(turn.r);
  exact = givesBack(m, trs.rotation, turn.s);
  return trs;
}

bool isFinite(const Trs& trs) {
  auto finite = [](const auto& values) {
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
  };
  return finite(trs.translation) && finite(trs.rotation) && finite(trs.scale);
}

}  // namespace kxm::gltf
