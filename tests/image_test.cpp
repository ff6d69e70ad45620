#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "image/image.h"
#include "tests/support/image_writers.h"
#include "tests/support/png_writer.h"

// Suites are named image..., so that `ctest -R image` runs this module's cases and no other.
namespace kxm::image {
namespace {

using test::Rgba;
using Bytes = std::vector<std::uint8_t>;

Decoded decodeFile(const Bytes& bytes, Kind kind) {
  return decode(bytes, kind, Limits::forFileSize(bytes.size()));
}

std::string statusName(Status status) {
  switch (status) {
    case Status::Ok: return "Ok";
    case Status::Unreadable: return "Unreadable";
    case Status::TooLarge: return "TooLarge";
    case Status::Unsupported: return "Unsupported";
  }
  return "?";
}

// A picture of 5 x 3: odd, so that rows need padding at every depth below 32 bits.
constexpr std::uint32_t kWidth = 5, kHeight = 3;
const std::vector<std::uint32_t> kArgb = {
    0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0x80102030, 0x00C86432, 0xFF7F7F7F,
    0x01FEDCBA, 0xFF123456, 0xFF010203, 0xFF010203, 0xFF010203, 0xFFA0B0C0, 0xFFA0B0C0,
};

Rgba fromArgb(std::uint32_t v, bool keepAlpha) {
  return {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v),
          keepAlpha ? static_cast<std::uint8_t>(v >> 24) : std::uint8_t{255}};
}

std::vector<Rgba> pictureRgba(bool keepAlpha) {
  std::vector<Rgba> out;
  for (const std::uint32_t v : kArgb) out.push_back(fromArgb(v, keepAlpha));
  return out;
}

// A palette and indices into it, the picture of the indexed formats.
const std::vector<Rgba> kPalette = {{0, 0, 0},    {255, 255, 255}, {200, 10, 20}, {5, 150, 250},
                                    {33, 66, 99}, {250, 250, 0},   {1, 2, 3},     {128, 64, 32}};

std::vector<Rgba> paletteOf(std::size_t count) {
  std::vector<Rgba> out;
  for (std::size_t i = 0; i < count; ++i) out.push_back(kPalette[i % kPalette.size()]);
  return out;
}

std::vector<std::uint32_t> indicesBelow(std::uint32_t colours) {
  std::vector<std::uint32_t> out;
  for (std::uint32_t i = 0; i < kWidth * kHeight; ++i)
    out.push_back((i * 5 + i / kWidth) % colours);
  return out;
}

std::vector<Rgba> lookUp(const std::vector<Rgba>& palette,
                         const std::vector<std::uint32_t>& indices) {
  std::vector<Rgba> out;
  for (const std::uint32_t i : indices) out.push_back(palette.at(i));
  return out;
}

bool anyTransparent(const std::vector<Rgba>& pixels) {
  for (const Rgba& p : pixels) {
    if (p.a != 255) return true;
  }
  return false;
}

void expectPixels(const Decoded& d, std::uint32_t width, std::uint32_t height,
                  const std::vector<Rgba>& expected, const std::string& what) {
  ASSERT_EQ(d.status, Status::Ok) << what << ": " << d.detail;
  EXPECT_EQ(d.pixels.width, width) << what;
  EXPECT_EQ(d.pixels.height, height) << what;
  EXPECT_EQ(d.pixels.rgba, test::rgbaBytes(expected)) << what;
  EXPECT_EQ(d.pixels.hasAlpha, anyTransparent(expected)) << what;
}

struct StbFree {
  void operator()(stbi_uc* p) const { stbi_image_free(p); }
};

// A PNG read back by stb_image, a decoder of its own: the channels it holds and its pixels.
struct ReadBack {
  int width = 0, height = 0, channels = 0;
  Bytes rgba;
};

ReadBack readPng(const Bytes& png) {
  ReadBack r;
  std::unique_ptr<stbi_uc, StbFree> p(stbi_load_from_memory(
      png.data(), static_cast<int>(png.size()), &r.width, &r.height, &r.channels, 4));
  if (p) r.rgba.assign(p.get(), p.get() + static_cast<std::size_t>(r.width * r.height * 4));
  return r;
}

// The chunk types of a PNG, in order, each checked against its CRC by a bitwise CRC-32 of our
// own (stb_image does not look at them; other readers refuse a file whose CRCs are wrong).
std::vector<std::string> pngChunks(const Bytes& png) {
  auto crc32 = [](const std::uint8_t* p, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
      c ^= p[i];
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
  };
  auto u32Be = [&](std::size_t at) {
    return std::uint32_t{png[at]} << 24 | std::uint32_t{png[at + 1]} << 16 |
           std::uint32_t{png[at + 2]} << 8 | png[at + 3];
  };
  std::vector<std::string> types;
  std::size_t at = 8;
  while (at + 12 <= png.size()) {
    const std::size_t length = u32Be(at);
    if (length > png.size() - at - 12) return {"chunk past the end"};
    const std::string type(png.begin() + static_cast<std::ptrdiff_t>(at + 4),
                           png.begin() + static_cast<std::ptrdiff_t>(at + 8));
    if (crc32(png.data() + at + 4, length + 4) != u32Be(at + 8 + length))
      return {"bad CRC in " + type};
    types.push_back(type);
    at += 12 + length;
  }
  if (at != png.size()) types.push_back("bytes after the last chunk");
  return types;
}

void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<Bytes*>(context);
  const auto* first = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), first, first + size);
}

Bytes jpegImage() {
  const Bytes rgb(16 * 8 * 3, 120);
  Bytes out;
  EXPECT_NE(stbi_write_jpg_to_func(appendBytes, &out, 16, 8, 3, rgb.data(), 90), 0);
  return out;
}

// ---- What a file is ----

TEST(imageIdentify, ByContentThenTgaByNameOrPlausibleHeader) {
  const Bytes tga = test::tgaImage({.width = 2, .height = 1}, {0xFF000000, 0xFFFFFFFF});
  Bytes tgaNoPixels = tga;
  test::putU16Le(tgaNoPixels, test::kTgaWidthAt, 0);
  Bytes notTga = tga;
  notTga[2] = 7;  // no such image type
  struct Case {
    const char* what;
    Bytes bytes;
    std::string_view name;
    Kind expected;
  };
  const Case cases[] = {
      {"PNG", test::pngImage(1, 1, {1, 2, 3}), "a.tga", Kind::Png},
      {"JPEG", jpegImage(), "", Kind::Jpeg},
      {"BMP", {'B', 'M', 0, 0}, "x.dds", Kind::Bmp},
      {"DDS", {'D', 'D', 'S', ' '}, "", Kind::Dds},
      {"TGA by name", tga, "wall.tga", Kind::Tga},
      {"TGA by name in capitals, in a folder", tga, "Textures\\WALL.TGA", Kind::Tga},
      {"TGA by its header alone", tga, "wall.img", Kind::Tga},
      {"TGA of no pixels, by name", tgaNoPixels, "wall.Tga", Kind::Tga},
      {"TGA of no pixels, no name", tgaNoPixels, "", Kind::Unknown},
      {"implausible TGA header, named .tga", notTga, "wall.tga", Kind::Unknown},
      {"PNG signature cut short", {0x89, 'P', 'N', 'G'}, "", Kind::Unknown},
      {"text",
       {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', ' ', 't', 'h', 'i', 's', ' ', 'i',
        's'},
       "a.tga",
       Kind::Unknown},
      {"empty", {}, "a.tga", Kind::Unknown},
  };
  for (const Case& c : cases) EXPECT_EQ(identify(c.bytes, c.name), c.expected) << c.what;
}

TEST(imageIdentify, KindNames) {
  const std::pair<Kind, std::string_view> names[] = {
      {Kind::Png, "PNG"}, {Kind::Jpeg, "JPEG"}, {Kind::Bmp, "BMP"},
      {Kind::Tga, "TGA"}, {Kind::Dds, "DDS"},   {Kind::Unknown, "unknown"}};
  for (const auto& [kind, name] : names) EXPECT_EQ(kindName(kind), name);
}

TEST(imageLimits, SixtyFourMebibytesPlusEightTimesTheFileSaturating) {
  const std::pair<std::uint64_t, std::uint64_t> cases[] = {
      {0, 64ull << 20},
      {1000, (64ull << 20) + 8000},
      {std::uint64_t{1} << 60, (64ull << 20) + (std::uint64_t{1} << 63)},
      {std::numeric_limits<std::uint64_t>::max() / 8, std::numeric_limits<std::uint64_t>::max()},
      {std::numeric_limits<std::uint64_t>::max(), std::numeric_limits<std::uint64_t>::max()}};
  for (const auto& [size, bytes] : cases)
    EXPECT_EQ(Limits::forFileSize(size).pixelBytes, bytes) << size;
}

// ---- Each format back from our writers ----

TEST(imageBmp, EveryDepthAndRowOrderGivesTheWrittenPixels) {
  // 16 bits: 5-5-5, each channel widened by repeating its top bits.
  std::vector<std::uint32_t> values555;
  std::vector<Rgba> expected555;
  for (std::uint32_t i = 0; i < kWidth * kHeight; ++i) {
    const std::uint32_t r = (i * 7) % 32, g = (i * 11 + 3) % 32, b = 31 - (i * 2) % 32;
    values555.push_back(r << 10 | g << 5 | b);
    auto widen = [](std::uint32_t c) { return static_cast<std::uint8_t>(c << 3 | c >> 2); };
    expected555.push_back({widen(r), widen(g), widen(b), 255});
  }
  Bytes transparentRgb;
  std::vector<std::uint32_t> zeroAlpha;
  for (const std::uint32_t v : kArgb) zeroAlpha.push_back(v & 0x00FFFFFF);
  struct Case {
    const char* what;
    test::BmpLayout layout;
    std::vector<std::uint32_t> values;
    std::vector<Rgba> expected;
  };
  const Case cases[] = {
      {"1-bit",
       {kWidth, kHeight, 1, false, paletteOf(2)},
       indicesBelow(2),
       lookUp(paletteOf(2), indicesBelow(2))},
      {"4-bit",
       {kWidth, kHeight, 4, false, paletteOf(16)},
       indicesBelow(16),
       lookUp(paletteOf(16), indicesBelow(16))},
      {"4-bit, short palette, top-down",
       {kWidth, kHeight, 4, true, paletteOf(6)},
       indicesBelow(6),
       lookUp(paletteOf(6), indicesBelow(6))},
      {"8-bit",
       {kWidth, kHeight, 8, false, paletteOf(256)},
       indicesBelow(256),
       lookUp(paletteOf(256), indicesBelow(256))},
      {"8-bit, top-down",
       {kWidth, kHeight, 8, true, paletteOf(7)},
       indicesBelow(7),
       lookUp(paletteOf(7), indicesBelow(7))},
      {"16-bit", {kWidth, kHeight, 16}, values555, expected555},
      {"24-bit", {kWidth, kHeight, 24}, kArgb, pictureRgba(false)},
      {"24-bit, top-down", {kWidth, kHeight, 24, true}, kArgb, pictureRgba(false)},
      {"32-bit: its fourth byte is alpha", {kWidth, kHeight, 32}, kArgb, pictureRgba(true)},
      {"32-bit, top-down", {kWidth, kHeight, 32, true}, kArgb, pictureRgba(true)},
      // Writers that leave the fourth byte 0 mean no alpha, not a transparent image.
      {"32-bit, every alpha 0: opaque", {kWidth, kHeight, 32}, zeroAlpha, pictureRgba(false)},
  };
  for (const Case& c : cases) {
    const Bytes file = test::bmpImage(c.layout, c.values);
    ASSERT_EQ(identify(file, ""), Kind::Bmp) << c.what;
    expectPixels(decodeFile(file, Kind::Bmp), kWidth, kHeight, c.expected, c.what);
  }
  const Decoded d = decodeFile(
      test::bmpImage({kWidth, kHeight, 8, false, paletteOf(7)}, indicesBelow(7)), Kind::Bmp);
  EXPECT_EQ(d.detail, "BMP 8-bit, 5 x 3");
}

TEST(imageTga, EveryTypeOriginAndPackingGivesTheWrittenPixels) {
  using Type = test::TgaLayout::Type;
  std::vector<std::uint32_t> greys;
  std::vector<Rgba> greyExpected;
  for (std::uint32_t i = 0; i < kWidth * kHeight; ++i) {
    const auto level = static_cast<std::uint8_t>(i < 6 ? 40 : i * 17);  // a run, then a ramp
    greys.push_back(level);
    greyExpected.push_back({level, level, level, 255});
  }
  struct Case {
    const char* what;
    test::TgaLayout layout;
    std::vector<std::uint32_t> values;
    std::vector<Rgba> expected;
  };
  const auto truecolour = [](std::uint8_t bits, bool rle, bool top) {
    test::TgaLayout l{
        .width = kWidth, .height = kHeight, .bits = bits, .rle = rle, .topOrigin = top};
    l.id = "kxm";
    return l;
  };
  const auto grey = [](bool rle, bool top) {
    return test::TgaLayout{.width = kWidth,
                           .height = kHeight,
                           .type = Type::Grey,
                           .bits = 8,
                           .rle = rle,
                           .topOrigin = top};
  };
  const auto mapped = [](bool rle, bool top, std::uint8_t paletteBits) {
    return test::TgaLayout{.width = kWidth,
                           .height = kHeight,
                           .type = Type::ColourMapped,
                           .bits = 8,
                           .rle = rle,
                           .topOrigin = top,
                           .palette = paletteOf(8),
                           .paletteBits = paletteBits};
  };
  std::vector<Rgba> translucentPalette = paletteOf(8);
  for (std::size_t i = 0; i < translucentPalette.size(); ++i)
    translucentPalette[i].a = static_cast<std::uint8_t>(255 - 30 * i);
  test::TgaLayout mapped32 = mapped(false, false, 32);
  mapped32.palette = translucentPalette;
  const Case cases[] = {
      {"24-bit", truecolour(24, false, false), kArgb, pictureRgba(false)},
      {"24-bit, from the top", truecolour(24, false, true), kArgb, pictureRgba(false)},
      {"32-bit", truecolour(32, false, false), kArgb, pictureRgba(true)},
      {"24-bit RLE", truecolour(24, true, false), kArgb, pictureRgba(false)},
      {"32-bit RLE, from the top", truecolour(32, true, true), kArgb, pictureRgba(true)},
      {"grey", grey(false, false), greys, greyExpected},
      {"grey RLE, from the top", grey(true, true), greys, greyExpected},
      {"colour-mapped", mapped(false, false, 24), indicesBelow(8),
       lookUp(paletteOf(8), indicesBelow(8))},
      {"colour-mapped RLE, from the top", mapped(true, true, 24), indicesBelow(8),
       lookUp(paletteOf(8), indicesBelow(8))},
      {"colour-mapped, 32-bit colours", mapped32, indicesBelow(8),
       lookUp(translucentPalette, indicesBelow(8))},
  };
  for (const Case& c : cases) {
    const Bytes file = test::tgaImage(c.layout, c.values);
    ASSERT_EQ(identify(file, "x.tga"), Kind::Tga) << c.what;
    expectPixels(decodeFile(file, Kind::Tga), kWidth, kHeight, c.expected, c.what);
  }
  const Decoded d = decodeFile(test::tgaImage(truecolour(32, true, true), kArgb), Kind::Tga);
  EXPECT_EQ(d.detail, "TGA true colour 32-bit RLE, 5 x 3");
}

TEST(imageDds, UncompressedChannelsAreReadWhereverTheirMasksPutThem) {
  struct Case {
    const char* what;
    std::uint32_t bits;
    std::array<std::uint32_t, 4> masks;
    std::vector<Rgba> expected;
    const char* detail;
    bool luminance = false;
  };
  // Luminance: the red channel as grey.
  std::vector<Rgba> grey, greyAlpha;
  for (const Rgba& p : pictureRgba(true)) {
    grey.push_back({p.r, p.r, p.r, 255});
    greyAlpha.push_back({p.r, p.r, p.r, p.a});
  }
  // 5-6-5: what the writer stored, widened as v * 255 / max, rounded.
  std::vector<Rgba> expected565;
  for (const Rgba& p : pictureRgba(false)) {
    auto keep = [](std::uint8_t c, std::uint32_t max) {
      const std::uint32_t stored = (c * max + 127) / 255;
      return static_cast<std::uint8_t>((stored * 255 + max / 2) / max);
    };
    expected565.push_back({keep(p.r, 31), keep(p.g, 63), keep(p.b, 31), 255});
  }
  const Case cases[] = {
      {"A8R8G8B8",
       32,
       {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
       pictureRgba(true),
       "DDS uncompressed 32-bit RGBA, 5 x 3"},
      {"A8B8G8R8",
       32,
       {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
       pictureRgba(true),
       "DDS uncompressed 32-bit RGBA, 5 x 3"},
      {"X8R8G8B8: no alpha mask, opaque",
       32,
       {0x00FF0000, 0x0000FF00, 0x000000FF, 0},
       pictureRgba(false),
       "DDS uncompressed 32-bit RGB, 5 x 3"},
      {"R8G8B8",
       24,
       {0xFF0000, 0x00FF00, 0x0000FF, 0},
       pictureRgba(false),
       "DDS uncompressed 24-bit RGB, 5 x 3"},
      {"B8G8R8 with an alpha mask past its 24 bits: opaque",
       24,
       {0x0000FF, 0x00FF00, 0xFF0000, 0xFF000000},
       pictureRgba(false),
       "DDS uncompressed 24-bit RGB, 5 x 3"},
      {"R5G6B5",
       16,
       {0xF800, 0x07E0, 0x001F, 0},
       expected565,
       "DDS uncompressed 16-bit RGB, 5 x 3"},
      {"L8", 8, {0xFF, 0, 0, 0}, grey, "DDS uncompressed 8-bit grey, 5 x 3", true},
      {"A8L8",
       16,
       {0x00FF, 0, 0, 0xFF00},
       greyAlpha,
       "DDS uncompressed 16-bit grey and alpha, 5 x 3",
       true},
  };
  for (const Case& c : cases) {
    const test::DdsLayout layout{.width = kWidth,
                                 .height = kHeight,
                                 .bitCount = c.bits,
                                 .masks = c.masks,
                                 .luminance = c.luminance};
    const Bytes file = test::ddsFile(layout, test::ddsPixels(layout, pictureRgba(true)));
    ASSERT_EQ(identify(file, ""), Kind::Dds) << c.what;
    const Decoded d = decodeFile(file, Kind::Dds);
    expectPixels(d, kWidth, kHeight, c.expected, c.what);
    EXPECT_EQ(d.detail, c.detail) << c.what;
  }
}

// ---- DXT ----

Rgba expand565(std::uint16_t c) {
  const unsigned r = c >> 11, g = (c >> 5) & 63, b = c & 31;
  return {static_cast<std::uint8_t>(r << 3 | r >> 2), static_cast<std::uint8_t>(g << 2 | g >> 4),
          static_cast<std::uint8_t>(b << 3 | b >> 2), 255};
}

Rgba mix(const Rgba& a, const Rgba& b, int weightA, int weightB) {
  const int sum = weightA + weightB;
  auto m = [&](std::uint8_t x, std::uint8_t y) {
    return static_cast<std::uint8_t>((weightA * x + weightB * y) / sum);
  };
  return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b), 255};
}

constexpr std::array<std::uint8_t, 16> kRamp = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2, 0, 3, 0, 3};

struct DxtCase {
  const char* what;
  std::uint32_t width, height;
  const char* fourCC;
  Bytes blocks;
  std::vector<Rgba> expected;
};

std::vector<DxtCase> dxtCases() {
  std::vector<DxtCase> cases;
  // DXT1, four colours (first end point above the second): two thirds and one third between.
  const std::uint16_t red = test::rgb565(255, 0, 0), blue = test::rgb565(0, 0, 255);
  const std::uint16_t olive = test::rgb565(120, 200, 40), teal = test::rgb565(16, 96, 160);
  {
    const Rgba c0 = expand565(olive), c1 = expand565(teal);
    const Rgba codes[4] = {c0, c1, mix(c0, c1, 2, 1), mix(c0, c1, 1, 2)};
    DxtCase c{"DXT1, four colours", 4, 4, "DXT1", {}, {}};
    test::appendBlock(c.blocks, test::dxtColourBlock(olive, teal, kRamp));
    for (const std::uint8_t i : kRamp) c.expected.push_back(codes[i]);
    cases.push_back(c);
  }
  {
    // Three colours and transparent black where the first end point is not above the second.
    const Rgba c0 = expand565(teal), c1 = expand565(olive);
    const Rgba codes[4] = {c0, c1, mix(c0, c1, 1, 1), {0, 0, 0, 0}};
    DxtCase c{"DXT1, 1-bit alpha", 4, 4, "DXT1", {}, {}};
    test::appendBlock(c.blocks, test::dxtColourBlock(teal, olive, kRamp));
    for (const std::uint8_t i : kRamp) c.expected.push_back(codes[i]);
    cases.push_back(c);
  }
  {
    // 6 x 5: four solid blocks, row by row, the right and bottom ones cut by the edges.
    const std::uint16_t solid[4] = {red, test::rgb565(0, 255, 0), blue,
                                    test::rgb565(255, 255, 255)};
    DxtCase c{"DXT1, blocks in order, cut at the edges", 6, 5, "DXT1", {}, {}};
    for (const std::uint16_t colour : solid)
      test::appendBlock(c.blocks, test::dxtColourBlock(colour, colour, {}));
    for (std::uint32_t y = 0; y < 5; ++y) {
      for (std::uint32_t x = 0; x < 6; ++x)
        c.expected.push_back(expand565(solid[(y / 4) * 2 + x / 4]));
    }
    cases.push_back(c);
  }
  {
    // DXT3: sixteen explicit 4-bit alphas over a four-colour block.
    std::array<std::uint8_t, 16> alpha{};
    for (std::size_t i = 0; i < 16; ++i) alpha[i] = static_cast<std::uint8_t>(15 - i);
    const Rgba c0 = expand565(red), c1 = expand565(blue);
    const Rgba codes[4] = {c0, c1, mix(c0, c1, 2, 1), mix(c0, c1, 1, 2)};
    DxtCase c{"DXT3", 4, 4, "DXT3", {}, {}};
    test::appendBlock(c.blocks, test::dxt3AlphaBlock(alpha));
    test::appendBlock(c.blocks, test::dxtColourBlock(red, blue, kRamp));
    for (std::size_t i = 0; i < 16; ++i) {
      Rgba p = codes[kRamp[i]];
      p.a = static_cast<std::uint8_t>(alpha[i] * 17);
      c.expected.push_back(p);
    }
    cases.push_back(c);
  }
  {
    // DXT5: both alpha modes, every index. 8 alphas: a0 > a1, six between.
    // 6 alphas: a0 <= a1, four between, then 0 and 255.
    std::array<std::uint8_t, 16> indices{};
    for (std::size_t i = 0; i < 16; ++i) indices[i] = static_cast<std::uint8_t>(i % 8);
    DxtCase c{"DXT5, both alpha modes", 8, 4, "DXT5", {}, {}};
    const std::uint8_t hi = 240, lo = 16;
    test::appendBlock(c.blocks, test::dxt5AlphaBlock(hi, lo, indices));
    test::appendBlock(c.blocks, test::dxtColourBlock(olive, olive, {}));
    test::appendBlock(c.blocks, test::dxt5AlphaBlock(lo, hi, indices));
    test::appendBlock(c.blocks, test::dxtColourBlock(olive, olive, {}));
    auto eight = [&](int i) {
      return i == 0 ? hi : i == 1 ? lo : ((8 - i) * hi + (i - 1) * lo) / 7;
    };
    auto six = [&](int i) {
      return i == 0   ? lo
             : i == 1 ? hi
             : i == 6 ? 0
             : i == 7 ? 255
                      : ((6 - i) * lo + (i - 1) * hi) / 5;
    };
    for (std::uint32_t y = 0; y < 4; ++y) {
      for (std::uint32_t x = 0; x < 8; ++x) {
        Rgba p = expand565(olive);
        const int index = indices[y * 4 + x % 4];
        p.a = static_cast<std::uint8_t>(x < 4 ? eight(index) : six(index));
        c.expected.push_back(p);
      }
    }
    cases.push_back(c);
  }
  return cases;
}

#ifndef KXM_IMAGE_NO_SQUISH
// Each channel within `tolerance` of what is expected: DXT interpolants are integer divisions
// of 5-6-5 end points that decoders round each their own way.
void expectPixelsNear(const Decoded& d, std::uint32_t width, std::uint32_t height,
                      const std::vector<Rgba>& expected, int tolerance, const std::string& what) {
  ASSERT_EQ(d.status, Status::Ok) << what << ": " << d.detail;
  ASSERT_EQ(d.pixels.width, width) << what;
  ASSERT_EQ(d.pixels.height, height) << what;
  const Bytes want = test::rgbaBytes(expected);
  ASSERT_EQ(d.pixels.rgba.size(), want.size()) << what;
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(d.pixels.rgba[i], want[i], tolerance)
        << what << ": pixel " << i / 4 << " channel " << i % 4;
  }
  EXPECT_EQ(d.pixels.hasAlpha, anyTransparent(expected)) << what;
}

TEST(imageDds, DxtBlocksGiveTheirColoursWithinRounding) {
  for (const DxtCase& c : dxtCases()) {
    const Bytes file =
        test::ddsFile({.width = c.width, .height = c.height, .fourCC = c.fourCC}, c.blocks);
    expectPixelsNear(decodeFile(file, Kind::Dds), c.width, c.height, c.expected, 1, c.what);
  }
  const Bytes dxt5 =
      test::ddsFile({.width = 8, .height = 4, .fourCC = "DXT5"}, dxtCases().back().blocks);
  EXPECT_EQ(decodeFile(dxt5, Kind::Dds).detail, "DDS DXT5, 8 x 4");
}
#else
TEST(imageDds, DxtIsUnsupportedInABuildWithoutSquish) {
  for (const DxtCase& c : dxtCases()) {
    const Bytes file =
        test::ddsFile({.width = c.width, .height = c.height, .fourCC = c.fourCC}, c.blocks);
    const Decoded d = decodeFile(file, Kind::Dds);
    EXPECT_EQ(d.status, Status::Unsupported) << c.what;
    EXPECT_EQ(d.detail, "DXT-compressed DDS cannot be read by this build") << c.what;
    EXPECT_TRUE(d.pixels.rgba.empty()) << c.what;
  }
}
#endif

// ---- Hostile files ----

struct HostileCase {
  std::string what;
  Bytes bytes;
  Kind kind;
  Status expected;
  std::string detailPart;  // a piece of the explanation
};

std::vector<HostileCase> hostileCases() {
  std::vector<HostileCase> cases;
  const std::vector<std::uint32_t> four(4, 0xFF336699);
  const Bytes bmp = test::bmpImage({2, 2, 24}, four);
  const Bytes tga = test::tgaImage({.width = 2, .height = 2}, four);
  const Bytes tgaRle = test::tgaImage({.width = 2, .height = 2, .rle = true}, {1, 2, 3, 4});
  const test::DdsLayout rgbaLayout{
      .width = 4, .height = 4, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}};
  const Bytes ddsRgba =
      test::ddsFile(rgbaLayout, test::ddsPixels(rgbaLayout, std::vector<Rgba>(16)));
  const Bytes dxt5 = test::ddsFile({.width = 8, .height = 4, .fourCC = "DXT5"}, Bytes(32, 0));

  auto withU32 = [](Bytes b, std::size_t at, std::uint32_t v) {
    test::putU32Le(b, at, v);
    return b;
  };
  auto withU16 = [](Bytes b, std::size_t at, std::uint16_t v) {
    test::putU16Le(b, at, v);
    return b;
  };
  auto cut = [](Bytes b, std::size_t n) {
    b.resize(b.size() - n);
    return b;
  };

  Bytes bmpHuge = withU32(withU32(bmp, test::kBmpWidthAt, 65535), test::kBmpHeightAt, 65535);
  cases.push_back({"BMP claiming 65535 x 65535", bmpHuge, Kind::Bmp, Status::TooLarge, "16.0 GiB"});
  cases.push_back({"BMP top-down claiming 65535 x 65535",
                   withU32(withU32(bmp, test::kBmpWidthAt, 65535), test::kBmpHeightAt, 0xFFFF0001u),
                   Kind::Bmp, Status::TooLarge, "65535 x 65535"});
  cases.push_back({"BMP wider than any side may be", withU32(bmp, test::kBmpWidthAt, 100000),
                   Kind::Bmp, Status::TooLarge, "at most 65536"});
  cases.push_back({"BMP of negative width", withU32(bmp, test::kBmpWidthAt, 0xFFFFFFFEu), Kind::Bmp,
                   Status::Unreadable, "negative"});
  cases.push_back({"BMP cut in its last row", cut(bmp, 3), Kind::Bmp, Status::Unreadable,
                   "pixel rows end at byte 68; the file has 67"});
  cases.push_back({"BMP of width 0", withU32(bmp, test::kBmpWidthAt, 0), Kind::Bmp,
                   Status::Unreadable, "no pixels (0 x 2)"});
  cases.push_back({"BMP cut in its header", Bytes(bmp.begin(), bmp.begin() + 30), Kind::Bmp,
                   Status::Unreadable, "header is cut short"});
  cases.push_back({"BMP with RLE", withU32(bmp, 30, 1), Kind::Bmp, Status::Unsupported, "RLE"});
  cases.push_back({"BMP whose pixel names a colour past its palette",
                   test::bmpImage({2, 1, 8, false, paletteOf(3)}, {1, 3}), Kind::Bmp,
                   Status::Unreadable, "colour 3 of a palette of 3"});

  cases.push_back({"TGA claiming 65535 x 65535",
                   withU16(withU16(tga, test::kTgaWidthAt, 65535), test::kTgaHeightAt, 65535),
                   Kind::Tga, Status::TooLarge, "65535 x 65535"});
  cases.push_back({"TGA RLE claiming 4096 x 4096 over a few packets",
                   withU16(withU16(tgaRle, test::kTgaWidthAt, 4096), test::kTgaHeightAt, 4096),
                   Kind::Tga, Status::Unreadable, "RLE pixels stop after 4 of 16777216"});
  cases.push_back({"TGA cut in its pixels", cut(tga, 1), Kind::Tga, Status::Unreadable,
                   "need 30 bytes; the file has 29"});
  cases.push_back(
      {"TGA RLE cut in a packet", cut(tgaRle, 1), Kind::Tga, Status::Unreadable, "stop after"});
  cases.push_back({"TGA of height 0", withU16(tga, test::kTgaHeightAt, 0), Kind::Tga,
                   Status::Unreadable, "no pixels (2 x 0)"});

  cases.push_back(
      {"DDS DXT1 claiming 65535 x 65535",
       withU32(withU32(test::ddsFile({.width = 4, .height = 4, .fourCC = "DXT1"}, Bytes(8)),
                       test::kDdsWidthAt, 65535),
               test::kDdsHeightAt, 65535),
       Kind::Dds, Status::TooLarge, "65535 x 65535"});
  cases.push_back({"DDS of 65536 x 1 over 64 bytes",
                   withU32(withU32(ddsRgba, test::kDdsWidthAt, 65536), test::kDdsHeightAt, 1),
                   Kind::Dds, Status::Unreadable,
                   "needs 262144 bytes of pixel data; the file holds 64"});
  cases.push_back({"DDS of width 0", withU32(ddsRgba, test::kDdsWidthAt, 0), Kind::Dds,
                   Status::Unreadable, "no pixels"});
  cases.push_back({"DDS DXT5 cut in its last block", cut(dxt5, 1), Kind::Dds, Status::Unreadable,
                   "needs 32 bytes of pixel data; the file holds 31"});
  cases.push_back(
      {"DDS uncompressed, cut", cut(ddsRgba, 1), Kind::Dds, Status::Unreadable, "needs 64 bytes"});
  cases.push_back({"DDS header cut short", Bytes(ddsRgba.begin(), ddsRgba.begin() + 100), Kind::Dds,
                   Status::Unreadable, "cut short: 100 of 128"});
  cases.push_back(
      {"DDS cube map",
       test::ddsFile({.width = 4, .height = 4, .fourCC = "DXT1", .caps2 = test::kDdsCubeMap},
                     Bytes(48)),
       Kind::Dds, Status::Unsupported, "cube map"});
  cases.push_back(
      {"DDS volume",
       test::ddsFile(
           {.width = 4, .height = 4, .fourCC = "DXT1", .caps2 = test::kDdsVolume, .depth = 4},
           Bytes(32)),
       Kind::Dds, Status::Unsupported, "volume texture (depth 4)"});
  cases.push_back({"DDS with a DX10 header",
                   test::ddsFile({.width = 4, .height = 4, .fourCC = "DX10"}, Bytes(36)), Kind::Dds,
                   Status::Unsupported, "DX10"});
  cases.push_back({"DDS in a format not read",
                   test::ddsFile({.width = 4, .height = 4, .fourCC = "ATI2"}, Bytes(16)), Kind::Dds,
                   Status::Unsupported, "'ATI2'"});

  Bytes png = test::pngImage(2, 2, Bytes(12, 7));
  cases.push_back({"PNG cut in half",
                   Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2)),
                   Kind::Png, Status::Unreadable, "cannot read this PNG"});
  // IHDR: width at 16, height at 20, big-endian (stb does not check the CRC).
  for (std::size_t at : {16u, 20u})
    png[at] = 0, png[at + 1] = 0, png[at + 2] = 0xEA, png[at + 3] = 0x60;
  cases.push_back(
      {"PNG claiming 60000 x 60000", png, Kind::Png, Status::TooLarge, "60000 x 60000"});
  cases.push_back({"garbage",
                   {1, 2, 3, 4, 5, 6, 7, 8, 9},
                   Kind::Unknown,
                   Status::Unreadable,
                   "not a PNG, JPEG, BMP, TGA or DDS image"});
  cases.push_back({"a BMP handed over as a PNG", bmp, Kind::Png, Status::Unreadable, "not a PNG"});
  cases.push_back({"empty, as a DDS", {}, Kind::Dds, Status::Unreadable, "not a DDS"});
  return cases;
}

TEST(imageHostile, ClaimsPastTheBytesOrTheLimitAreRefusedBeforeDecoding) {
  for (const HostileCase& c : hostileCases()) {
    const Decoded d = decodeFile(c.bytes, c.kind);
    EXPECT_EQ(statusName(d.status), statusName(c.expected)) << c.what << ": " << d.detail;
    EXPECT_NE(d.detail.find(c.detailPart), std::string::npos) << c.what << ": " << d.detail;
    EXPECT_TRUE(d.pixels.rgba.empty()) << c.what;
  }
}

TEST(imageHostile, TheLimitAdmitsExactlyItsBytes) {
  const test::DdsLayout layout{
      .width = 8, .height = 8, .bitCount = 24, .masks = {0xFF0000, 0xFF00, 0xFF, 0}};
  const Bytes dds = test::ddsFile(layout, test::ddsPixels(layout, std::vector<Rgba>(64)));
  const Bytes bmp = test::bmpImage({8, 8, 24}, std::vector<std::uint32_t>(64));
  for (const auto& [bytes, kind] : {std::pair{dds, Kind::Dds}, std::pair{bmp, Kind::Bmp}}) {
    EXPECT_EQ(decode(bytes, kind, Limits{8 * 8 * 4}).status, Status::Ok) << kindName(kind);
    EXPECT_EQ(decode(bytes, kind, Limits{8 * 8 * 4 - 1}).status, Status::TooLarge)
        << kindName(kind);
  }
}

// ---- PNG out ----

TEST(imagePng, OpaquePixelsBecomeRgbAndOthersRgbaAndReadBackTheSame) {
  std::vector<Rgba> almost = pictureRgba(false);
  almost[7].a = 254;
  struct Case {
    const char* what;
    std::vector<Rgba> pixels;
    int channels;
  };
  const Case cases[] = {
      {"every alpha 255", pictureRgba(false), 3},
      {"one alpha 254", almost, 4},
      {"alpha of every kind", pictureRgba(true), 4},
  };
  for (const Case& c : cases) {
    Pixels p{kWidth, kHeight, test::rgbaBytes(c.pixels), false};  // hasAlpha is not trusted
    const Bytes png = encodePng(p);
    ASSERT_FALSE(png.empty()) << c.what;
    const ReadBack back = readPng(png);
    EXPECT_EQ(back.width, static_cast<int>(kWidth)) << c.what;
    EXPECT_EQ(back.height, static_cast<int>(kHeight)) << c.what;
    EXPECT_EQ(back.channels, c.channels) << c.what;
    EXPECT_EQ(back.rgba, p.rgba) << c.what;
    EXPECT_EQ(pngChunks(png), (std::vector<std::string>{"IHDR", "IDAT", "IEND"})) << c.what;
  }
}

// Our deflate: literals, runs at the longest match, matches far back in the window, blocks of
// every size, a code built for each. stb_image's inflate must read back every pixel.
TEST(imagePng, LargeImagesOfEveryKindReadBackTheSame) {
  std::uint32_t seed = 7;
  auto random = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<std::uint8_t>(seed >> 24);
  };
  struct Case {
    const char* what;
    std::uint32_t width, height;
    std::function<Rgba(std::uint32_t x, std::uint32_t y)> pixel;
  };
  const Case cases[] = {
      {"noise", 512, 300,
       [&](std::uint32_t, std::uint32_t) {
         return Rgba{random(), random(), random(), random()};
       }},
      {"one colour", 1024, 1024,
       [](std::uint32_t, std::uint32_t) {
         return Rgba{10, 20, 30, 255};
       }},
      {"gradients", 700, 333,
       [](std::uint32_t x, std::uint32_t y) {
         return Rgba{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                     static_cast<std::uint8_t>(x + y), 255};
       }},
      {"stripes that repeat far apart", 3000, 40,
       [&](std::uint32_t x, std::uint32_t y) {
         const std::uint8_t v = static_cast<std::uint8_t>((x * 7919u) % 251u);
         return Rgba{v, static_cast<std::uint8_t>(v ^ y), 9,
                     static_cast<std::uint8_t>(y % 2 ? 255 : v)};
       }},
      {"noise with runs", 400, 400,
       [&](std::uint32_t x, std::uint32_t) {
         const std::uint8_t v = (x / 37) % 3 == 0 ? random() : 77;
         return Rgba{v, v, static_cast<std::uint8_t>(v / 2), 255};
       }},
      {"one pixel", 1, 1,
       [](std::uint32_t, std::uint32_t) {
         return Rgba{1, 2, 3, 4};
       }},
  };
  for (const Case& c : cases) {
    Pixels p{c.width, c.height, {}, false};
    for (std::uint32_t y = 0; y < c.height; ++y) {
      for (std::uint32_t x = 0; x < c.width; ++x) {
        const Rgba v = c.pixel(x, y);
        p.rgba.insert(p.rgba.end(), {v.r, v.g, v.b, v.a});
      }
    }
    const Bytes png = encodePng(p);
    ASSERT_FALSE(png.empty()) << c.what;
    const ReadBack back = readPng(png);
    EXPECT_EQ(back.width, static_cast<int>(c.width)) << c.what;
    EXPECT_TRUE(back.rgba == p.rgba) << c.what;
    EXPECT_EQ(pngChunks(png), (std::vector<std::string>{"IHDR", "IDAT", "IEND"})) << c.what;
  }
}

TEST(imagePng, PixelsThatDoNotMatchTheirSizeGiveNothing) {
  const Pixels cases[] = {
      {0, 0, {}, false},
      {2, 2, Bytes(15), false},
      {2, 2, Bytes(17), false},
      {0, 4, Bytes(16), false},
      {kMaxDimension + 1, 1, Bytes((kMaxDimension + 1) * 4), false},
  };
  for (const Pixels& p : cases) EXPECT_TRUE(encodePng(p).empty()) << p.width << " x " << p.height;
}

// ---- For glTF ----

TEST(imageGltf, PngAndJpegAreKeptByteForByte) {
  const Bytes png = test::pngImage(3, 2, Bytes(18, 200));
  const Bytes jpeg = jpegImage();
  for (const auto& [bytes, mime] : {std::pair{png, "image/png"}, std::pair{jpeg, "image/jpeg"}}) {
    const Prepared p = prepareForGltf(bytes, "texture.tga");
    EXPECT_EQ(p.status, Status::Ok) << mime << ": " << p.detail;
    EXPECT_EQ(p.mimeType, mime);
    EXPECT_FALSE(p.converted) << mime;
    EXPECT_EQ(p.bytes, bytes) << mime;
  }
  EXPECT_EQ(prepareForGltf(png, "").detail, "PNG, 3 x 2, kept as it is");
}

TEST(imageGltf, OtherFormatsAreConvertedToPngOfTheSamePixels) {
  const test::DdsLayout ddsLayout{
      .width = kWidth, .height = kHeight, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}};
  struct Case {
    const char* what;
    Bytes bytes;
    std::string_view name;
    std::vector<Rgba> expected;
  };
  const Case cases[] = {
      {"BMP", test::bmpImage({kWidth, kHeight, 24}, kArgb), "wall.bmp", pictureRgba(false)},
      {"TGA", test::tgaImage({.width = kWidth, .height = kHeight, .bits = 32, .rle = true}, kArgb),
       "Textures\\WALL.TGA", pictureRgba(true)},
      {"DDS", test::ddsFile(ddsLayout, test::ddsPixels(ddsLayout, pictureRgba(true))), "wall.dds",
       pictureRgba(true)},
  };
  for (const Case& c : cases) {
    const Prepared p = prepareForGltf(c.bytes, c.name);
    ASSERT_EQ(p.status, Status::Ok) << c.what << ": " << p.detail;
    EXPECT_EQ(p.mimeType, "image/png") << c.what;
    EXPECT_TRUE(p.converted) << c.what;
    const ReadBack back = readPng(p.bytes);
    EXPECT_EQ(back.rgba, test::rgbaBytes(c.expected)) << c.what;
  }
  EXPECT_EQ(prepareForGltf(cases[0].bytes, "").detail, "BMP 24-bit, 5 x 3, converted to PNG");
}

TEST(imageGltf, DxtFollowsTheBuild) {
  const DxtCase c = dxtCases().front();
  const Prepared p =
      prepareForGltf(test::ddsFile({.width = 4, .height = 4, .fourCC = "DXT1"}, c.blocks), "a.dds");
#ifndef KXM_IMAGE_NO_SQUISH
  EXPECT_EQ(p.status, Status::Ok) << p.detail;
  EXPECT_EQ(p.detail, "DDS DXT1, 4 x 4, converted to PNG");
#else
  EXPECT_EQ(p.status, Status::Unsupported);
  EXPECT_EQ(p.detail, "DXT-compressed DDS cannot be read by this build");
#endif
}

TEST(imageGltf, FailuresSayWhyAndGiveNoBytes) {
  Bytes zeroPng = test::pngImage(1, 1, {1, 2, 3});
  zeroPng[16] = zeroPng[17] = zeroPng[18] = zeroPng[19] = 0;  // width 0
  struct Case {
    const char* what;
    Bytes bytes;
    Status expected;
    std::string detailPart;
  };
  const Case cases[] = {
      {"empty", {}, Status::Unreadable, "the file is empty"},
      {"garbage",
       {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'},
       Status::Unreadable,
       "not a PNG, JPEG, BMP, TGA or DDS image"},
      {"PNG of width 0", zeroPng, Status::Unreadable, "the PNG has no pixels (0 x 1)"},
      {"BMP claiming 65535 x 65535", hostileCases().front().bytes, Status::TooLarge, "16.0 GiB"},
      {"DDS cube map",
       test::ddsFile({.width = 4, .height = 4, .fourCC = "DXT1", .caps2 = test::kDdsCubeMap},
                     Bytes(48)),
       Status::Unsupported, "the DDS file is a cube map; only flat textures are read"},
  };
  for (const Case& c : cases) {
    const Prepared p = prepareForGltf(c.bytes, "x.tga");
    EXPECT_EQ(statusName(p.status), statusName(c.expected)) << c.what << ": " << p.detail;
    EXPECT_NE(p.detail.find(c.detailPart), std::string::npos) << c.what << ": " << p.detail;
    EXPECT_TRUE(p.bytes.empty()) << c.what;
    EXPECT_TRUE(p.mimeType.empty()) << c.what;
  }
}

}  // namespace
}  // namespace kxm::image
