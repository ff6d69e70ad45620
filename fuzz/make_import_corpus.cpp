// Writes the import fuzzer's seed corpus: the GLBs kxm export makes of the sample, of random
// models (frames, meshes of every vertex format, bones, animations, materials kept in extras) and
// of a textured quad with its PNG inside; and .gltf documents, their buffers as data URIs, in the
// shapes other tools write: interleaved and normalized attributes, 8-bit indices, sparse
// accessors, every primitive mode, a node matrix, step, cubic spline and weight animations, a
// skin of 16-bit joints, a camera, a light, a morph target, quantized positions.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "export/model_export.h"
#include "tests/support/png_writer.h"
#include "tests/support/random_model.h"
#include "tests/support/sample_model.h"
#include "tests/support/textured_quad.h"
#include "writer/kxm_file.h"

namespace {

using nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

bool save(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// The quad's texture, a PNG of our own writer.
class QuadImage final : public kxm::gltf::ImageResolver {
 public:
  std::optional<kxm::gltf::ResolvedImage> resolve(std::string_view, const std::string&,
                                                  kxm::gltf::Warnings&) override {
    return kxm::gltf::ResolvedImage{"wall.png", "image/png",
                                    kxm::test::pngImage(2, 2, Bytes(12, 90))};
  }
};

Bytes glbOf(const Bytes& kxm, kxm::gltf::ImageResolver* images = nullptr) {
  kxm::gltf::ExportOptions options;
  options.images = images;
  kxm::gltf::Export done = kxm::gltf::exportModel(kxm, options);
  Bytes glb;
  if (!kxm::gltf::writeGlb(done, glb)) glb.clear();
  return glb;
}

std::string base64(const Bytes& bytes) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 3; ++k) v = v << 8 | (k < n ? bytes[i + k] : 0u);
    for (std::size_t k = 0; k < 4; ++k) out += k <= n ? digits[(v >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

// A document and its one buffer: each view appended to the buffer, 4-byte aligned.
struct Doc {
  json j = {{"asset", {{"version", "2.0"}, {"generator", "corpus"}}}};
  Bytes bin;

  template <class T>
  int view(const std::vector<T>& values, int stride = 0) {
    while (bin.size() % 4 != 0) bin.push_back(0);
    json v = {{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", values.size() * sizeof(T)}};
    if (stride != 0) v["byteStride"] = stride;
    const auto* p = reinterpret_cast<const std::uint8_t*>(values.data());
    bin.insert(bin.end(), p, p + values.size() * sizeof(T));
    j["bufferViews"].push_back(v);
    return static_cast<int>(j["bufferViews"].size() - 1);
  }
  int accessor(int view, int component, std::size_t count, const char* type, int offset = 0,
               bool normalized = false) {
    json a = {{"componentType", component}, {"count", count}, {"type", type}};
    if (view >= 0) a["bufferView"] = view, a["byteOffset"] = offset;
    if (normalized) a["normalized"] = true;
    j["accessors"].push_back(a);
    return static_cast<int>(j["accessors"].size() - 1);
  }
  Bytes finish() {
    j["buffers"] = json::array({{{"byteLength", bin.size()},
                                 {"uri", "data:application/octet-stream;base64," + base64(bin)}}});
    const std::string text = j.dump();
    return {text.begin(), text.end()};
  }
};

constexpr int kByte = 5120, kUnsignedByte = 5121, kShort = 5122, kUnsignedShort = 5123;
constexpr int kFloat = 5126;

// Four corners, interleaved: position, normalized 16-bit texture coordinates and 8-bit colours.
int quadPositions(Doc& d, bool interleaved) {
  if (!interleaved)
    return d.accessor(d.view(std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}), kFloat, 4,
                      "VEC3");
  std::vector<std::uint8_t> v;
  for (int i = 0; i < 4; ++i) {
    const float p[3] = {static_cast<float>(i % 2), static_cast<float>(i / 2), 0.5f};
    const std::uint16_t uv[2] = {static_cast<std::uint16_t>(i * 20000), 65535};
    const std::uint8_t colour[4] = {255, static_cast<std::uint8_t>(i * 60), 0, 128};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(p);
    v.insert(v.end(), bytes, bytes + 12);
    v.insert(v.end(), reinterpret_cast<const std::uint8_t*>(uv),
             reinterpret_cast<const std::uint8_t*>(uv) + 4);
    v.insert(v.end(), colour, colour + 4);
  }
  const int view = d.view(v, 20);
  d.accessor(view, kUnsignedShort, 4, "VEC2", 12, true);
  d.accessor(view, kUnsignedByte, 4, "VEC4", 16, true);
  return d.accessor(view, kFloat, 4, "VEC3", 0);
}

Bytes interleaved() {
  Doc d;
  const int position = quadPositions(d, true);
  const int indices = d.accessor(d.view(Bytes{0, 1, 2, 0, 2, 3}), kUnsignedByte, 6, "SCALAR");
  const json attributes = {
      {"POSITION", position}, {"TEXCOORD_0", position - 2}, {"COLOR_0", position - 1}};
  const json primitive = {{"attributes", attributes}, {"indices", indices}, {"material", 0}};
  d.j["meshes"] = json::array({json{{"primitives", json::array({primitive})}}});
  const json base = {{"baseColorFactor", {1, 0.5, 0.25, 0.5}}};
  d.j["materials"] = json::array({json{{"pbrMetallicRoughness", base}, {"alphaMode", "BLEND"}}});
  const json matrix = {1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 3, 4, 5, 1};
  d.j["nodes"] = json::array({json{{"mesh", 0}, {"name", "Quad"}, {"matrix", matrix}}});
  d.j["scenes"] = json::array({json{{"nodes", {0}}}, json{{"nodes", json::array()}}});
  d.j["scene"] = 0;
  return d.finish();
}

Bytes sparseAndModes() {
  Doc d;
  const int sparseIndices = d.view(Bytes{1, 3});
  const int sparseValues = d.view(std::vector<float>{1, 0, 0, 0, 1, 0});
  d.accessor(-1, kFloat, 4, "VEC3");
  const json indices = {{"bufferView", sparseIndices}, {"componentType", kUnsignedByte}};
  const json values = {{"bufferView", sparseValues}};
  d.j["accessors"][0]["sparse"] = {{"count", 2}, {"indices", indices}, {"values", values}};
  json primitives = json::array();
  for (int mode = 0; mode <= 6; ++mode)
    primitives.push_back(json{{"attributes", {{"POSITION", 0}}}, {"mode", mode}});
  d.j["meshes"] = json::array({json{{"primitives", primitives}}});
  d.j["nodes"] = json::array({json{{"mesh", 0}}, json{{"mesh", 0}, {"translation", {1, 2, 3}}}});
  return d.finish();
}

Bytes animatedSkinned() {
  Doc d;
  const int position = quadPositions(d, false);
  const int joints =
      d.accessor(d.view(std::vector<std::uint16_t>{0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}),
                 kUnsignedShort, 4, "VEC4");
  const int weights =
      d.accessor(d.view(Bytes{255, 0, 0, 0, 128, 127, 0, 0, 255, 0, 0, 0, 60, 195, 0, 0}),
                 kUnsignedByte, 4, "VEC4", 0, true);
  const int times = d.accessor(d.view(std::vector<float>{0, 0.5f, 1}), kFloat, 3, "SCALAR");
  const int moves =
      d.accessor(d.view(std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0}), kFloat, 3, "VEC3");
  std::vector<float> spline;
  for (int k = 0; k < 3; ++k)
    for (float v : {0.0f, 0.0f, 0.0f, 0.1f, 0.0f, 0.0f, static_cast<float>(k) * 0.3f, 1.0f, 0.0f,
                    0.0f, 0.0f, 0.0f})
      spline.push_back(v);
  const int turns = d.accessor(d.view(spline), kFloat, 9, "VEC4");
  const int weightsOut = d.accessor(d.view(std::vector<float>{0, 0.5f, 1}), kFloat, 3, "SCALAR");
  const json attributes = {{"POSITION", position}, {"JOINTS_0", joints}, {"WEIGHTS_0", weights}};
  const json target = {{"POSITION", position}};
  const json primitive = {{"attributes", attributes}, {"targets", json::array({target})}};
  d.j["meshes"] = json::array({json{{"primitives", json::array({primitive})}, {"weights", {0.5}}}});
  d.j["nodes"] = json::array({json{{"name", "Hip"}, {"children", {1}}},
                              json{{"name", "Knee"}, {"translation", {0, 1, 0}}},
                              json{{"mesh", 0}, {"skin", 0}, {"name", "Leg"}}});
  d.j["skins"] = json::array({json{{"joints", {1, 0}}, {"skeleton", 0}}});
  auto sampler = [&](int output, const char* interpolation) {
    return json{{"input", times}, {"output", output}, {"interpolation", interpolation}};
  };
  auto channel = [](int s, int node, const char* path) {
    return json{{"sampler", s}, {"target", {{"node", node}, {"path", path}}}};
  };
  d.j["animations"] = json::array(
      {json{{"name", "Walk"},
            {"samplers", json::array({sampler(moves, "STEP"), sampler(turns, "CUBICSPLINE"),
                                      sampler(weightsOut, "LINEAR")})},
            {"channels", json::array({channel(0, 0, "translation"), channel(1, 1, "rotation"),
                                      channel(2, 2, "weights")})}}});
  return d.finish();
}

Bytes leftOutAndQuantized() {
  Doc d;
  const int position =
      d.accessor(d.view(std::vector<std::int16_t>{0, 0, 0, 0, 32767, 0, 0, 0, 0, 32767, 0, 0}),
                 kShort, 3, "VEC3", 0, true);
  const int normal =
      d.accessor(d.view(std::vector<std::int8_t>{0, 0, 127, 0, 0, 0, 127, 0, 0, 0, 127, 0}), kByte,
                 3, "VEC3", 0, true);
  d.j["extensionsUsed"] = {"KHR_mesh_quantization", "KHR_lights_punctual"};
  d.j["extensionsRequired"] = {"KHR_mesh_quantization"};
  const json light = {{"type", "point"}};
  d.j["extensions"] = {{"KHR_lights_punctual", {{"lights", json::array({light})}}}};
  const json perspective = {{"yfov", 0.8}, {"znear", 0.1}};
  d.j["cameras"] = json::array({json{{"type", "perspective"}, {"perspective", perspective}}});
  const int uv = d.accessor(d.view(std::vector<std::int16_t>{0, 0, 32767, 0, 0, -32767}), kShort, 3,
                            "VEC2", 0, true);
  const json attributes = {{"POSITION", position},
                           {"NORMAL", normal},
                           {"TEXCOORD_0", uv},
                           {"TEXCOORD_1", uv},
                           {"TEXCOORD_2", uv}};
  const json primitive = {{"attributes", attributes}};
  d.j["meshes"] = json::array({json{{"primitives", json::array({primitive})}}});
  const json lit = {{"KHR_lights_punctual", {{"light", 0}}}};
  d.j["nodes"] =
      json::array({json{{"mesh", 0}, {"scale", {2, 2, 2}}, {"camera", 0}, {"extensions", lit}}});
  return d.finish();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-import-corpus FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  int failures = 0;
  auto put = [&](const std::string& name, const Bytes& bytes) {
    failures += bytes.empty() || !save(folder + "/" + name, bytes);
  };
  put("sample.glb", glbOf(kxm::test::sampleModel()));
  QuadImage image;
  put("textured.glb", glbOf(kxm::test::texturedQuad("wall.bmp").bytes(), &image));
  for (std::uint32_t seed = 1; seed <= 12; ++seed) {
    kxm::Model model;
    kxm::test::randomModel(seed, model);
    Bytes kxm;
    std::string error;
    put("random-" + std::to_string(seed) + ".glb",
        kxm::writeKxm(model, kxm, error) ? glbOf(kxm) : Bytes{});
  }
  put("interleaved.gltf", interleaved());
  put("sparse-modes.gltf", sparseAndModes());
  put("animated-skinned.gltf", animatedSkinned());
  put("left-out-quantized.gltf", leftOutAndQuantized());
  return failures == 0 ? 0 : 1;
}
