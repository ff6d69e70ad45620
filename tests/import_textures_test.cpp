// kxm import writes each texture as the kind asked for: the file, read back by the image
// floor's decoders, holds the pixels the glTF's image held (exactly, or within DXT's rounding),
// the mesh names it, and kxm export of the imported model finds it and embeds it again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/model_export.h"
#include "image/image.h"
#include "import/gltf_import.h"
#include "tests/support/image_writers.h"
#include "tests/support/textured_quad.h"
#include "textures/folder_images.h"
#include "writer/kxm_file.h"

namespace kxm {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using test::Rgba;

// A folder of its own under the system's temporary folder, removed at the end.
struct Folder {
  fs::path path;
  explicit Folder(const std::string& name)
      : path(fs::temp_directory_path() / ("kxm-import-textures-" + name)) {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  void put(const std::string& name, const Bytes& bytes) const {
    std::ofstream(path / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
};

struct Picture {
  const char* what;
  std::uint32_t width, height;
  std::vector<Rgba> pixels;
};

// Two colours (and two alphas) in each 4 x 4 block, each block its own: DXT holds such a block
// within the rounding of its 5-6-5 end points, and a channel read in the wrong place is far off.
// Sides that are not multiples of 4 leave blocks cut by the edge.
Picture picture(const char* what, std::uint32_t width, std::uint32_t height, int alphas) {
  Picture p{what, width, height, {}};
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint32_t block = (y / 4) * 8 + x / 4, odd = (x + y) % 2;
      Rgba c{static_cast<std::uint8_t>(40 + 50 * block + 100 * odd),
             static_cast<std::uint8_t>(200 - 30 * block), static_cast<std::uint8_t>(20 + 90 * odd),
             255};
      if (alphas == 2) c.a = odd ? 0 : 255;
      if (alphas == 3) c.a = static_cast<std::uint8_t>(odd ? 30 + 40 * block : 220);
      p.pixels.push_back(c);
    }
  }
  return p;
}

// The textured quad with its texture as a 32-bit TGA, taken out by kxm export as GLB (the
// image converted to PNG inside it).
Bytes glbOf(const Picture& p, const Folder& folder) {
  std::vector<std::uint32_t> argb;
  for (const Rgba& c : p.pixels)
    argb.push_back(std::uint32_t{c.a} << 24 | std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 |
                   c.b);
  folder.put("wall.tga", test::tgaImage({.width = static_cast<std::uint16_t>(p.width),
                                         .height = static_cast<std::uint16_t>(p.height),
                                         .bits = 32},
                                        argb));
  FolderImages images(TextureFolders{folder.path, {}, nullptr});
  gltf::ExportOptions options;
  options.images = &images;
  gltf::Export done = gltf::exportModel(test::texturedQuad("wall.tga").bytes(), options);
  Bytes glb;
  EXPECT_TRUE(gltf::writeGlb(done, glb)) << done.failure;
  return glb;
}

image::Pixels decoded(const Bytes& bytes, const std::string& name) {
  const image::Decoded d =
      image::decode(bytes, image::identify(bytes, name), image::Limits::forFileSize(bytes.size()));
  EXPECT_EQ(d.status, image::Status::Ok) << name << ": " << d.detail;
  return d.pixels;
}

// DXT1 keeps alpha 0 as black and 0; otherwise each channel within the rounding of two 5-6-5
// (or 8-bit alpha) end points.
void expectPixels(const image::Pixels& got, const Picture& p, bool dxt, const std::string& what) {
  ASSERT_EQ(got.width * 1000 + got.height, p.width * 1000 + p.height) << what;
  const Bytes want = test::rgbaBytes(p.pixels);
  for (std::size_t i = 0; i < want.size(); ++i) {
    const bool cleared = dxt && want[i | 3] == 0;
    if (dxt && cleared) {
      ASSERT_EQ(got.rgba[i], 0) << what << ", byte " << i;
    } else {
      ASSERT_NEAR(got.rgba[i], want[i], dxt ? 8 : 0) << what << ", byte " << i;
    }
  }
}

struct Kind {
  TextureFormat option;
  const char* extension;
  image::Kind kind;
};

// Each kind, for pictures opaque, with one-bit alpha and with alpha between.
TEST(ImportTextures, EachKindHoldsThePixelsAndTheExportEmbedsIt) {
  const Kind kinds[] = {
      {TextureFormat::Png, "png", image::Kind::Png},
      {TextureFormat::Bmp, "bmp", image::Kind::Bmp},
      {TextureFormat::Tga, "tga", image::Kind::Tga},
      {TextureFormat::Dds, "dds", image::Kind::Dds},
  };
  const Picture pictures[] = {picture("opaque", 6, 5, 1), picture("alpha 0 or 255", 8, 4, 2),
                              picture("alpha between", 5, 7, 3)};
  for (const Picture& p : pictures) {
    const Folder source(std::string("source-") + std::to_string(p.width));
    const Bytes glb = glbOf(p, source);
    for (const Kind& k : kinds) {
      const std::string what = std::string(p.what) + " as " + k.extension;
      ImportOptions options;
      options.textures = k.option;
      Imported imported;
      ImportWarnings warnings;
      std::string error;
      ASSERT_TRUE(importGltfBytes(glb, {}, options, imported, warnings, error)) << what << error;
      EXPECT_EQ(warnings.count(), 0u) << what << ": " << warnings.kept().front().message;
      ASSERT_EQ(imported.textures.size(), 1u) << what;
      const ImportedImage& file = imported.textures[0];
      EXPECT_EQ(file.name, std::string("wall.") + k.extension) << what;
      EXPECT_STREQ(imported.model.frames[0].meshes[0].textures.at(0).name, file.name.c_str())
          << what;
      ASSERT_EQ(image::identify(file.bytes, file.name), k.kind) << what;
      const bool dxt = k.kind == image::Kind::Dds;
      if (dxt) {  // DXT1 wherever its one-bit alpha holds the picture
        const std::string fourCC(file.bytes.begin() + 84, file.bytes.begin() + 88);
        EXPECT_EQ(fourCC, p.pixels[1].a == 30 ? "DXT5" : "DXT1") << what;
      }
      const image::Pixels pixels = decoded(file.bytes, file.name);
      expectPixels(pixels, p, dxt, what);

      // Written as kxm import writes it, then exported: the texture found and embedded.
      const Folder written(std::string("written-") + std::to_string(p.width) + k.extension);
      Bytes kxm;
      ASSERT_TRUE(writeKxm(imported.model, kxm, error)) << what << error;
      written.put(file.name, file.bytes);
      FolderImages images(TextureFolders{written.path, {}, nullptr});
      gltf::ExportOptions exportOptions;
      exportOptions.images = &images;
      gltf::Export done = gltf::exportModel(kxm, exportOptions);
      Bytes again;
      ASSERT_TRUE(gltf::writeGlb(done, again)) << what << done.failure;
      EXPECT_EQ(done.warnings.count(Severity::Warning), 0u) << what;
      Imported back;
      ASSERT_TRUE(importGltfBytes(again, {}, {}, back, warnings, error)) << what << error;
      ASSERT_EQ(back.textures.size(), 1u) << what;
      EXPECT_EQ(decoded(back.textures[0].bytes, "").rgba, pixels.rgba) << what;
    }
  }
}

// Without --textures, an image whose texture name says another kind is written as that kind:
// a game that reads wall.tga finds a TGA there, not the PNG the GLB held.
TEST(ImportTextures, AnImageBecomesTheKindItsNameSays) {
  const Picture p = picture("alpha between", 5, 7, 3);
  const Folder source("named");
  Imported imported;
  ImportWarnings warnings;
  std::string error;
  ASSERT_TRUE(importGltfBytes(glbOf(p, source), {}, {}, imported, warnings, error)) << error;
  ASSERT_EQ(imported.textures.size(), 1u);
  const ImportedImage& file = imported.textures[0];
  EXPECT_EQ(file.name, "wall.tga");
  ASSERT_EQ(image::identify(file.bytes, ""), image::Kind::Tga);
  expectPixels(decoded(file.bytes, file.name), p, false, "wall.tga");
}

}  // namespace
}  // namespace kxm
