#include "import/gltf_import.h"
#include "files/paths.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "import/gltf_source.h"
#include "import/importer.h"
#include "import/validate.h"

namespace kxm {

namespace gltfin {

void matrixFromGltf(const double in[16], float out[16]) {
  for (std::size_t i = 0; i < 16; ++i) out[i] = static_cast<float>(in[i]);
  for (const std::size_t i : {2U, 6U, 14U, 8U, 9U, 11U}) out[i] = -out[i] + 0.0f;
}

// The quaternion's rotation as the file's row-vector matrix R (mirrored back), split into the
// angles of R = Rx(a) Ry(b) Rz(c): R[0][2] = -sin b, R[1][2] / R[2][2] = tan a and
// R[0][1] / R[0][0] = tan c; at b = ±90° only a + c or a - c is known, and c is taken as 0.
void eulerFromGltf(const double q[4], float out[3]) {
  double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  if (!(length > 1e-12) || !std::isfinite(length)) length = 0;
  const double x = length > 0 ? q[0] / length : 0, y = length > 0 ? q[1] / length : 0;
  const double z = length > 0 ? q[2] / length : 0, w = length > 0 ? q[3] / length : 1;
  // The column-vector matrix of glTF, C[row][column]; mirrored, then read as rows.
  double c[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                    {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                    {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
  for (int i = 0; i < 3; ++i) {
    c[i][2] = -c[i][2];
    c[2][i] = -c[2][i];
  }
  auto r = [&](int row, int column) { return c[column][row]; };  // the file's R[row][column]
  const double sb = std::clamp(-r(0, 2), -1.0, 1.0);
  const double b = std::asin(sb);
  double a = 0, cz = 0;
  if (std::fabs(sb) < 1 - 1e-7) {
    a = std::atan2(r(1, 2), r(2, 2));
    cz = std::atan2(r(0, 1), r(0, 0));
  } else {
    a = std::atan2(r(1, 0) * sb, r(1, 1));
  }
  out[0] = static_cast<float>(a);
  out[1] = static_cast<float>(b);
  out[2] = static_cast<float>(cz);
}

void copyName(const std::string& utf8, char (&out)[kNameSize]) {
  std::string bytes;
  bool latin1 = true;
  for (std::size_t i = 0; i < utf8.size() && latin1; ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[++i]);
      bytes += static_cast<char>(((c & 0x03) << 6) | (next & 0x3F));
    } else {
      latin1 = false;
    }
  }
  const std::string& chosen = latin1 ? bytes : utf8;
  std::memset(out, 0, kNameSize);
  std::memcpy(out, chosen.data(), std::min<std::size_t>(chosen.size(), kNameSize - 1));
}

const std::vector<float>& Importer::floats(std::size_t accessor) {
  const tinygltf::Accessor& a = doc_.accessors[accessor];
  const std::size_t values = a.count * static_cast<std::size_t>(componentsOf(a.type));
  if (scratch_.capacity() < values) {
    scratch_ = {};
    scratch_.reserve(values);
    preferHugePages(scratch_.data(), values * sizeof(float));
  }
  readFloats(doc_, accessor, scratch_);
  return scratch_;
}

// Cameras are said where a node holds one (frames.cpp).
void Importer::leftOut() {
  for (const std::string& name : doc_.extensionsUsed) {
    if (understood(name)) continue;
    warn(IssueCode::ImportLeftOut, "extension " + name +
                                       " (lights, variants and the like): "
                                       "the model has no place for it; left out");
  }
}

bool Importer::run(std::string& error) {
  ours_ = doc_.asset.generator.rfind("kxm", 0) == 0;
  model_.keepNormals = true;
  leftOut();
  addFrames();
  addCustomData();
  if (!addMeshes(error)) return false;
  placeAfterMeshes();
  return addAnimations(error);
}

}  // namespace gltfin

namespace {

// The document parsed and checked; false with the reason in `error`.
bool parse(std::span<const std::uint8_t> bytes, const std::filesystem::path& folder,
           const ImportOptions& options, tinygltf::Model& doc,
           std::vector<std::filesystem::path>& read, std::string& error) {
  return gltfin::parseGltf(bytes, folder, options.maxFileBytes, doc, read, error) &&
         gltfin::validate(doc, error);
}

// What a failed import leaves: nothing.
bool failed(Imported& out) {
  out.model.clearModel();
  out.textures.clear();
  out.read.clear();
  return false;
}

}  // namespace

bool importGltfBytes(const std::vector<std::uint8_t>& bytes, const std::filesystem::path& folder,
                     const ImportOptions& options, Imported& out, ImportWarnings& warnings,
                     std::string& error) {
  failed(out);
  try {
    tinygltf::Model doc;
    if (!parse(bytes, folder, options, doc, out.read, error)) return failed(out);
    if (gltfin::Importer(doc, options, out, warnings).run(error)) return true;
  } catch (const std::bad_alloc&) {
    error = "out of memory";
  }
  return failed(out);
}

// The file is read into a block from options.blocks and let go once parsed: tinygltf keeps its
// own copy of the buffers.
bool importGltf(const std::filesystem::path& in, const ImportOptions& options, Imported& out,
                ImportWarnings& warnings, std::string& error) {
  failed(out);
  std::filesystem::path folder = in.parent_path();
  if (folder.empty()) folder = ".";
  try {
    tinygltf::Model doc;
    {
      Block image;
      std::size_t size = 0;
      const BlockSource& blocks = options.blocks != nullptr ? *options.blocks : systemBlocks();
      auto place = [&](std::size_t bytes) {
        size = bytes;
        return image.allocate(std::max<std::size_t>(bytes, 1), blocks)
                   ? static_cast<std::uint8_t*>(image.get())
                   : nullptr;
      };
      if (!gltfin::readWholeFile(in, options.maxFileBytes, place, error)) return false;
      const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(image.get()),
                                                size);
      if (!parse(bytes, folder, options, doc, out.read, error)) {
        error = files::textFromPath(in) + ": " + error;
        return false;
      }
    }
    if (gltfin::Importer(doc, options, out, warnings).run(error)) return true;
    error = files::textFromPath(in) + ": " + error;
  } catch (const std::bad_alloc&) {
    error = files::textFromPath(in) + ": out of memory";
  }
  return failed(out);
}

}  // namespace kxm
