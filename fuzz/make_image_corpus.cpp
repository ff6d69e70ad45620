// Writes the image fuzzer's seed corpus: one small file per format and variant the image module
// reads, all made by our own writers (tests/support/image_writers.h, png_writer.h).
#include <stb/stb_image_write.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/image_writers.h"
#include "tests/support/kxm_writer.h"
#include "tests/support/png_writer.h"

using namespace kxm::test;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-image-corpus FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  int failures = 0;
  auto save = [&](const char* name, const std::vector<std::uint8_t>& bytes) {
    failures += !KxmWriter::bare().raw(bytes).save(folder + "/" + name);
  };
  const std::vector<std::uint32_t> argb = {0xFFFF0000, 0x8000FF00, 0xFF0000FF, 0x00FFFFFF,
                                           0xFF000000, 0xFF000000, 0xFF000000, 0x12345678,
                                           0xFF102030, 0xFF102030, 0xFFFFFFFF, 0xFFFFFFFF};
  const std::vector<std::uint32_t> indices = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 0, 0};
  const std::vector<Rgba> palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  std::vector<Rgba> pixels;
  for (const std::uint32_t v : argb) {
    pixels.push_back({static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                      static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 24)});
  }

  save("1bit.bmp", bmpImage({4, 3, 1, false, {{0, 0, 0}, {255, 255, 255}}},
                            {0, 1, 1, 0, 1, 0, 0, 1, 1, 1, 0, 0}));
  save("4bit.bmp", bmpImage({4, 3, 4, true, palette}, indices));
  save("8bit.bmp", bmpImage({4, 3, 8, false, palette}, indices));
  save("16bit.bmp", bmpImage({4, 3, 16}, {0x7C00, 0x03E0, 0x001F, 0x7FFF, 0, 1, 2, 3, 4, 5, 6, 7}));
  save("24bit.bmp", bmpImage({4, 3, 24}, argb));
  save("32bit.bmp", bmpImage({4, 3, 32, true}, argb));

  save("truecolour.tga", tgaImage({.width = 4, .height = 3, .bits = 32, .id = "id"}, argb));
  save("rle.tga", tgaImage({.width = 4, .height = 3, .rle = true, .topOrigin = true}, argb));
  save("grey.tga",
       tgaImage({.width = 4, .height = 3, .type = TgaLayout::Type::Grey, .bits = 8, .rle = true},
                indices));
  save("mapped.tga", tgaImage({.width = 4,
                               .height = 3,
                               .type = TgaLayout::Type::ColourMapped,
                               .bits = 8,
                               .palette = palette,
                               .paletteBits = 32},
                              indices));

  std::vector<std::uint8_t> dxt1, dxt3, dxt5;
  appendBlock(dxt1, dxtColourBlock(rgb565(255, 0, 0), rgb565(0, 0, 255), {0, 1, 2, 3, 3, 2, 1, 0}));
  appendBlock(dxt1, dxtColourBlock(rgb565(0, 0, 255), rgb565(255, 0, 0), {3, 3, 2, 2, 1, 1, 0, 0}));
  appendBlock(dxt3, dxt3AlphaBlock({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
  appendBlock(dxt3, dxtColourBlock(rgb565(9, 99, 199), rgb565(200, 100, 0), {1, 2, 3}));
  appendBlock(dxt5, dxt5AlphaBlock(250, 5, {0, 1, 2, 3, 4, 5, 6, 7}));
  appendBlock(dxt5, dxtColourBlock(rgb565(9, 99, 199), rgb565(200, 100, 0), {1, 2, 3}));
  save("dxt1.dds", ddsFile({.width = 8, .height = 4, .fourCC = "DXT1"}, dxt1));
  save("dxt3.dds", ddsFile({.width = 3, .height = 4, .fourCC = "DXT3"}, dxt3));
  save("dxt5.dds", ddsFile({.width = 4, .height = 4, .fourCC = "DXT5", .mipCount = 1}, dxt5));
  const DdsLayout rgba{.width = 4, .height = 3, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}};
  save("rgba.dds", ddsFile(rgba, ddsPixels(rgba, pixels)));
  const DdsLayout rgb{
      .width = 4, .height = 3, .bitCount = 24, .masks = {0xFF, 0xFF00, 0xFF0000, 0}};
  save("rgb.dds", ddsFile(rgb, ddsPixels(rgb, pixels)));
  const DdsLayout r5g6b5{
      .width = 4, .height = 3, .bitCount = 16, .masks = {0xF800, 0x7E0, 0x1F, 0}};
  save("565.dds", ddsFile(r5g6b5, ddsPixels(r5g6b5, pixels)));
  save("cube.dds", ddsFile({.width = 4, .height = 4, .fourCC = "DXT1", .caps2 = kDdsCubeMap},
                           std::vector<std::uint8_t>(48)));
  save("volume.dds",
       ddsFile({.width = 4, .height = 4, .fourCC = "DXT1", .caps2 = kDdsVolume, .depth = 2},
               std::vector<std::uint8_t>(16)));

  save("rgb.png", pngImage(4, 3, std::vector<std::uint8_t>(36, 77)));

  // A JPEG is only walked and sized, never decoded, but stb reads its tables all the same.
  auto saveJpeg = [&](const char* name, int width, int height, int components) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height * components));
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 37);
    std::vector<std::uint8_t> jpeg;
    stbi_write_jpg_to_func(
        [](void* out, void* data, int size) {
          const auto* bytes = static_cast<const std::uint8_t*>(data);
          static_cast<std::vector<std::uint8_t>*>(out)->insert(
              static_cast<std::vector<std::uint8_t>*>(out)->end(), bytes, bytes + size);
        },
        &jpeg, width, height, components, pixels.data(), 50);
    save(name, jpeg);
  };
  saveJpeg("rgb.jpg", 16, 8, 3);
  saveJpeg("grey.jpg", 4, 3, 1);
  return failures == 0 ? 0 : 1;
}
