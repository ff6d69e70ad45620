#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <array>
#include <cstdlib>
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
using Type = test::TgaLayout::Type;

// A picture of 5 x 3: odd, so that rows need padding at every depth below 32 bits.
constexpr std::uint32_t kWidth = 5, kHeight = 3;
const std::vector<std::uint32_t> kArgb = {
    0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0x80102030, 0x00C86432, 0xFF7F7F7F,
    0x01FEDCBA, 0xFF123456, 0xFF010203, 0xFF010203, 0xFF010203, 0xFFA0B0C0, 0xFFA0B0C0,
};

std::vector<Rgba> picture(bool keepAlpha) {
  std::vector<Rgba> out;
  for (const std::uint32_t v : kArgb) {
    out.push_back({static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                   static_cast<std::uint8_t>(v),
                   keepAlpha ? static_cast<std::uint8_t>(v >> 24) : std::uint8_t{255}});
  }
  return out;
}

// A palette, indices into it in an order with runs and jumps, and what they look up.
std::vector<Rgba> paletteOf(std::size_t count) {
  const Rgba colours[] = {{0, 0, 0},    {255, 255, 255}, {200, 10, 20}, {5, 150, 250},
                          {33, 66, 99}, {250, 250, 0},   {1, 2, 3},     {128, 64, 32, 90}};
  std::vector<Rgba> out;
  for (std::size_t i = 0; i < count; ++i) out.push_back(colours[i % 8]);
  return out;
}
std::vector<std::uint32_t> indicesBelow(std::uint32_t colours) {
  std::vector<std::uint32_t> out;
  for (std::uint32_t i = 0; i < kWidth * kHeight; ++i)
    out.push_back((i * 5 + i / kWidth) % colours);
  return out;
}
std::vector<Rgba> lookUp(std::size_t colours, bool keepAlpha = false) {
  std::vector<Rgba> out;
  for (const std::uint32_t i : indicesBelow(static_cast<std::uint32_t>(colours))) {
    out.push_back(paletteOf(colours)[i]);
    if (!keepAlpha) out.back().a = 255;
  }
  return out;
}

// A PNG read back by stb_image, a decoder of its own: its sides, channels and RGBA pixels.
struct ReadBack {
  int width = 0, height = 0, channels = 0;
  Bytes rgba;
};
ReadBack readPng(const Bytes& png) {
  ReadBack r;
  stbi_uc* p = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &r.width, &r.height,
                                     &r.channels, 4);
  if (p != nullptr) r.rgba.assign(p, p + static_cast<std::size_t>(r.width * r.height * 4));
  stbi_image_free(p);
  return r;
}

// Whether every chunk's CRC holds, by our own writer's CRC-32: stb_image does not look at them,
// other readers refuse the file.
bool crcsHold(const Bytes& png) {
  auto u32Be = [&](std::size_t at) {
    return std::uint32_t{png[at]} << 24 | std::uint32_t{png[at + 1]} << 16 |
           std::uint32_t{png[at + 2]} << 8 | png[at + 3];
  };
  std::size_t at = 8;
  for (; at + 12 <= png.size(); at += 12 + u32Be(at)) {
    const std::size_t length = u32Be(at);
    if (length > png.size() - at - 12) return false;
    if (test::crc32(png.data() + at + 4, length + 4) != u32Be(at + 8 + length)) return false;
  }
  return at == png.size();
}

void append(void* context, void* data, int size) {
  static_cast<Bytes*>(context)->insert(static_cast<Bytes*>(context)->end(),
                                       static_cast<std::uint8_t*>(data),
                                       static_cast<std::uint8_t*>(data) + size);
}

Bytes jpegImage() {
  const Bytes rgb(16 * 8 * 3, 120);
  Bytes out;
  stbi_write_jpg_to_func(append, &out, 16, 8, 3, rgb.data(), 90);
  return out;
}

// That JPEG with one more Huffman table, of `codes` codes, right after SOI or after the scan.
Bytes jpegWithHuffmanTable(std::size_t codes, bool afterTheScan) {
  Bytes jpeg = jpegImage();
  Bytes segment = {0xFF, 0xC4, 0x00, 0x13, 0x00};  // 19 bytes long, DC table 0
  for (int i = 0; i < 16; ++i) {
    const std::size_t some = std::min<std::size_t>(codes, 255);
    segment.push_back(static_cast<std::uint8_t>(some));
    codes -= some;
  }
  const auto at = afterTheScan ? jpeg.end() - 2 : jpeg.begin() + 2;
  jpeg.insert(at, segment.begin(), segment.end());
  return jpeg;
}

// ---- Each format back from our writers ----

Bytes dds(std::uint32_t bits, std::array<std::uint32_t, 4> masks, bool luminance = false) {
  const test::DdsLayout l{
      .width = kWidth, .height = kHeight, .bitCount = bits, .masks = masks, .luminance = luminance};
  return test::ddsFile(l, test::ddsPixels(l, picture(true)));
}

Rgba mix(const Rgba& a, const Rgba& b, int wa, int wb) {
  auto m = [&](std::uint8_t x, std::uint8_t y) {
    return static_cast<std::uint8_t>((wa * x + wb * y) / (wa + wb));
  };
  return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b), 255};
}

struct RoundTrip {
  std::string what;
  Bytes file;
  std::vector<Rgba> expected;
  std::uint32_t width = kWidth, height = kHeight;
  bool dxt = false;  // within rounding
};

std::vector<RoundTrip> roundTrips() {
  std::vector<std::uint32_t> v555, noAlpha, greys;
  std::vector<Rgba> e555, eGrey, eGreyAlpha, e565;
  auto keep = [](std::uint8_t c, std::uint32_t max) {  // stored rounded, widened as v*255/max
    return static_cast<std::uint8_t>((((c * max + 127) / 255) * 255 + max / 2) / max);
  };
  for (std::uint32_t i = 0; i < kWidth * kHeight; ++i) {
    const std::uint32_t r = (i * 7) % 32, g = (i * 11 + 3) % 32, b = 31 - (i * 2) % 32;
    auto widen = [](std::uint32_t c) { return static_cast<std::uint8_t>(c << 3 | c >> 2); };
    v555.push_back(r << 10 | g << 5 | b);  // 5-5-5, widened by repeating the top bits
    e555.push_back({widen(r), widen(g), widen(b), 255});
    noAlpha.push_back(kArgb[i] & 0xFFFFFF);
    const auto level = static_cast<std::uint8_t>(i < 6 ? 40 : i * 17);  // a run, then a ramp
    greys.push_back(level);
    eGrey.push_back({level, level, level, 255});
    const Rgba p = picture(true)[i];
    eGreyAlpha.push_back({p.r, p.r, p.r, p.a});  // luminance: red as grey
    e565.push_back({keep(p.r, 31), keep(p.g, 63), keep(p.b, 31), 255});
  }
  auto tga = [](test::TgaLayout l, const std::vector<std::uint32_t>& values) {
    l.width = kWidth;
    l.height = kHeight;
    return test::tgaImage(l, values);
  };
  const std::uint32_t r = 0xFF0000, g = 0xFF00, b = 0xFF, a = 0xFF000000;
  std::vector<RoundTrip> rows = {
      {"BMP 1-bit", test::bmpImage({kWidth, kHeight, 1, false, paletteOf(2)}, indicesBelow(2)),
       lookUp(2)},
      {"BMP 4-bit, short palette, top-down",
       test::bmpImage({kWidth, kHeight, 4, true, paletteOf(6)}, indicesBelow(6)), lookUp(6)},
      {"BMP 8-bit", test::bmpImage({kWidth, kHeight, 8, false, paletteOf(256)}, indicesBelow(256)),
       lookUp(256)},
      {"BMP 16-bit", test::bmpImage({kWidth, kHeight, 16}, v555), e555},
      {"BMP 24-bit, top-down", test::bmpImage({kWidth, kHeight, 24, true}, kArgb), picture(false)},
      {"BMP 32-bit, top-down", test::bmpImage({kWidth, kHeight, 32, true}, kArgb), picture(true)},
      // Writers that leave the fourth byte 0 mean no alpha, not an invisible picture.
      {"BMP 32-bit, every alpha 0", test::bmpImage({kWidth, kHeight, 32}, noAlpha), picture(false)},
      {"TGA 24-bit with an ID", tga({.id = "kxm"}, kArgb), picture(false)},
      {"TGA 32-bit from the top", tga({.bits = 32, .topOrigin = true}, kArgb), picture(true)},
      {"TGA 32-bit RLE from the top", tga({.bits = 32, .rle = true, .topOrigin = true}, kArgb),
       picture(true)},
      {"TGA grey RLE", tga({.type = Type::Grey, .bits = 8, .rle = true}, greys), eGrey},
      {"TGA colour-mapped",
       tga({.type = Type::ColourMapped, .bits = 8, .palette = paletteOf(8)}, indicesBelow(8)),
       lookUp(8)},
      {"TGA colour-mapped RLE from the top, 32-bit colours",
       tga({.type = Type::ColourMapped,
            .bits = 8,
            .rle = true,
            .topOrigin = true,
            .palette = paletteOf(8),
            .paletteBits = 32},
           indicesBelow(8)),
       lookUp(8, true)},
      {"DDS A8R8G8B8", dds(32, {r, g, b, a}), picture(true)},
      {"DDS X8R8G8B8", dds(32, {r, g, b, 0}), picture(false)},
      {"DDS B8G8R8, alpha mask past its bits", dds(24, {b, g, r, a}), picture(false)},
      {"DDS R5G6B5", dds(16, {0xF800, 0x07E0, 0x001F, 0}), e565},
      {"DDS A8L8", dds(16, {0xFF, 0, 0, 0xFF00}, true), eGreyAlpha},
  };

  // DXT1 has four colours where its first end point is above the second (thirds between), else
  // three (the half between) and transparent black. DXT3 at 3 x 3: a block cut by both edges.
  constexpr std::array<std::uint8_t, 16> ramp = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2, 0, 3, 0, 3};
  const std::uint16_t olive = test::rgb565(120, 200, 40), teal = test::rgb565(16, 96, 160);
  const Rgba o = test::widen565(olive), t = test::widen565(teal);
  const Rgba fourCodes[4] = {o, t, mix(o, t, 2, 1), mix(o, t, 1, 2)};
  const Rgba threeCodes[4] = {t, o, mix(t, o, 1, 1), {0, 0, 0, 0}};
  std::array<std::uint8_t, 16> alpha4{}, indices{};
  std::vector<Rgba> four, oneBit, dxt3, dxt5;
  for (std::size_t i = 0; i < 16; ++i) {
    four.push_back(fourCodes[ramp[i]]);
    oneBit.push_back(threeCodes[ramp[i]]);
    alpha4[i] = static_cast<std::uint8_t>(15 - i);
    indices[i] = static_cast<std::uint8_t>(i % 8);
    const Rgba c = four.back();
    if (i % 4 < 3 && i < 12)
      dxt3.push_back({c.r, c.g, c.b, static_cast<std::uint8_t>(alpha4[i] * 17)});
  }
  // DXT5, two blocks in order: 8 alphas (a0 > a1), then 6 with 0 and 255 (a0 <= a1).
  constexpr std::uint8_t hi = 240, lo = 16;
  int eight[8] = {hi, lo}, six[8] = {lo, hi, 0, 0, 0, 0, 0, 255};
  for (int k = 2; k < 8; ++k) eight[k] = ((8 - k) * hi + (k - 1) * lo) / 7;
  for (int k = 2; k < 6; ++k) six[k] = ((6 - k) * lo + (k - 1) * hi) / 5;
  for (std::uint32_t i = 0; i < 32; ++i) {
    const int index = indices[i / 8 * 4 + i % 4];
    dxt5.push_back(
        {o.r, o.g, o.b, static_cast<std::uint8_t>(i % 8 < 4 ? eight[index] : six[index])});
  }
  auto dxt = [](const char* fourCC, std::uint32_t w, std::uint32_t h,
                std::vector<std::array<std::uint8_t, 8>> blocks) {
    Bytes data;
    for (const auto& block : blocks) test::appendBlock(data, block);
    return test::ddsFile({.width = w, .height = h, .fourCC = fourCC}, data);
  };
  const auto solid = test::dxtColourBlock(olive, olive, {});
  rows.push_back({"DXT1, four colours",
                  dxt("DXT1", 4, 4, {test::dxtColourBlock(olive, teal, ramp)}), four, 4, 4, true});
  rows.push_back({"DXT1, 1-bit alpha", dxt("DXT1", 4, 4, {test::dxtColourBlock(teal, olive, ramp)}),
                  oneBit, 4, 4, true});
  rows.push_back(
      {"DXT3, cut by the edges",
       dxt("DXT3", 3, 3, {test::dxt3AlphaBlock(alpha4), test::dxtColourBlock(olive, teal, ramp)}),
       dxt3, 3, 3, true});
  rows.push_back({"DXT5, both alpha modes",
                  dxt("DXT5", 8, 4,
                      {test::dxt5AlphaBlock(hi, lo, indices), solid,
                       test::dxt5AlphaBlock(lo, hi, indices), solid}),
                  dxt5, 8, 4, true});
  return rows;
}

TEST(imageDecode, EachFormatGivesTheWrittenPixels) {
  for (const RoundTrip& c : roundTrips()) {
    const Kind kind = identify(c.file, c.what.starts_with("TGA") ? "x.tga" : "");
    ASSERT_NE(kind, Kind::Unknown) << c.what;
    const Decoded d = decode(c.file, kind, Limits::forFileSize(c.file.size()));
    ASSERT_EQ(d.status, Status::Ok) << c.what << ": " << d.detail;
    ASSERT_EQ(d.pixels.width * 100 + d.pixels.height, c.width * 100 + c.height) << c.what;
    const Bytes want = test::rgbaBytes(c.expected);
    ASSERT_EQ(d.pixels.rgba.size(), want.size()) << c.what;
    // DXT interpolants are divisions that decoders round each their own way.
    for (std::size_t i = 0; i < want.size(); ++i)
      ASSERT_NEAR(d.pixels.rgba[i], want[i], c.dxt ? 1 : 0) << c.what << ", byte " << i;
    bool alpha = false;
    for (const Rgba& p : c.expected) alpha = alpha || p.a != 255;
    EXPECT_EQ(d.pixels.hasAlpha, alpha) << c.what;
  }
}

TEST(imageIdentify, TgaByNameOrByAHeaderThatClaimsPixels) {
  const Bytes tga = test::tgaImage({.width = 2, .height = 1}, {0xFF000000, 0xFFFFFFFF});
  Bytes empty = tga, notTga = tga;
  test::putU16Le(empty, test::kTgaWidthAt, 0);
  notTga[2] = 7;  // no such image type
  EXPECT_EQ(identify(tga, "Textures\\WALL.TGA"), Kind::Tga);
  EXPECT_EQ(identify(tga, "wall.img"), Kind::Tga);
  EXPECT_EQ(identify(empty, "wall.Tga"), Kind::Tga);
  EXPECT_EQ(identify(empty, ""), Kind::Unknown);  // 18 bytes of chance must not pass
  EXPECT_EQ(identify(notTga, "wall.tga"), Kind::Unknown);
  EXPECT_EQ(identify(test::pngImage(1, 1, {1, 2, 3}), "a.tga"), Kind::Png);  // content first
}

// ---- Hostile files ----

struct Hostile {
  std::string what;
  Bytes bytes;
  Kind kind;
  Status expected;
  std::string detailPart;   // a piece of the explanation
  std::uint64_t limit = 0;  // 0: Limits::forFileSize
};

std::vector<Hostile> hostileCases() {
  const std::vector<std::uint32_t> four(4, 0xFF336699);
  const Bytes bmp = test::bmpImage({2, 2, 24}, four);
  const Bytes tga = test::tgaImage({.width = 2, .height = 2}, four);
  const Bytes tgaRle = test::tgaImage({.width = 2, .height = 2, .rle = true}, {1, 2, 3, 4});
  const test::DdsLayout l{.width = 4, .height = 4, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}};
  const Bytes rgba = test::ddsFile(l, test::ddsPixels(l, std::vector<Rgba>(16)));
  const Bytes dxt5 = test::ddsFile({.width = 8, .height = 4, .fourCC = "DXT5"}, Bytes(32, 0));
  auto dxt = [](const char* fourCC, std::size_t size, std::uint32_t caps2 = 0,
                std::uint32_t depth = 0) {
    return test::ddsFile(
        {.width = 4, .height = 4, .fourCC = fourCC, .caps2 = caps2, .depth = depth}, Bytes(size));
  };
  auto set = [](Bytes b, std::size_t at, std::uint32_t v, std::size_t at2 = 0, std::uint32_t v2 = 0,
                bool u16 = false) {
    for (const auto& [where, value] : {std::pair{at, v}, std::pair{at2, v2}}) {
      if (where == 0) continue;
      u16 ? test::putU16Le(b, where, static_cast<std::uint16_t>(value))
          : test::putU32Le(b, where, value);
    }
    return b;
  };
  auto cut = [](Bytes b, std::size_t n) {
    return Bytes(b.begin(), b.end() - static_cast<std::ptrdiff_t>(n));
  };
  const std::size_t bw = test::kBmpWidthAt, bh = test::kBmpHeightAt, dw = test::kDdsWidthAt,
                    dh = test::kDdsHeightAt;
  Bytes png = test::pngImage(2, 2, Bytes(12, 7));
  Bytes pngHuge = png;
  for (std::size_t at : {16u, 20u})  // IHDR's sides, big-endian: 60000
    pngHuge[at] = 0, pngHuge[at + 1] = 0, pngHuge[at + 2] = 0xEA, pngHuge[at + 3] = 0x60;
  const Status bad = Status::Unreadable, big = Status::TooLarge, no = Status::Unsupported;
  return {
      {"BMP claiming 65535 x 65535", set(bmp, bw, 65535, bh, 65535), Kind::Bmp, big, "16.0 GiB"},
      {"BMP top-down, 65535 x 65535", set(bmp, bw, 65535, bh, 0xFFFF0001u), Kind::Bmp, big,
       "65535 x 65535"},
      {"BMP wider than a side may be", set(bmp, bw, 100000), Kind::Bmp, big, "at most 65536"},
      {"BMP of negative width", set(bmp, bw, 0xFFFFFFFEu), Kind::Bmp, bad, "negative"},
      {"BMP cut in its last row", cut(bmp, 3), Kind::Bmp, bad, "end at byte 68; the file has 67"},
      {"BMP of width 0", set(bmp, bw, 0), Kind::Bmp, bad, "no pixels (0 x 2)"},
      {"BMP cut in its header", Bytes(bmp.begin(), bmp.begin() + 30), Kind::Bmp, bad, "cut short"},
      {"BMP with RLE", set(bmp, 30, 1), Kind::Bmp, no, "RLE"},
      {"BMP pixel past its palette", test::bmpImage({2, 1, 8, false, paletteOf(3)}, {1, 3}),
       Kind::Bmp, bad, "colour 3 of a palette of 3"},
      {"TGA claiming 65535 x 65535",
       set(tga, test::kTgaWidthAt, 65535, test::kTgaHeightAt, 65535, true), Kind::Tga, big,
       "65535 x 65535"},
      {"TGA RLE claiming 4096 x 4096",
       set(tgaRle, test::kTgaWidthAt, 4096, test::kTgaHeightAt, 4096, true), Kind::Tga, bad,
       "RLE pixels stop after 4 of 16777216"},
      {"TGA cut in its pixels", cut(tga, 1), Kind::Tga, bad, "need 30 bytes; the file has 29"},
      {"TGA RLE cut in a packet", cut(tgaRle, 1), Kind::Tga, bad, "stop after"},
      {"DDS DXT1 claiming 65535 x 65535", set(dxt("DXT1", 8), dw, 65535, dh, 65535), Kind::Dds, big,
       "65535 x 65535"},
      {"DDS of 65536 x 1 over 64 bytes", set(rgba, dw, 65536, dh, 1), Kind::Dds, bad,
       "needs 262144 bytes of pixel data; the file holds 64"},
      {"DDS DXT5 cut in its last block", cut(dxt5, 1), Kind::Dds, bad, "the file holds 31"},
      {"DDS header cut short", Bytes(rgba.begin(), rgba.begin() + 100), Kind::Dds, bad,
       "cut short: 100 of 128"},
      {"DDS cube map", dxt("DXT1", 48, test::kDdsCubeMap), Kind::Dds, no, "cube map"},
      {"DDS volume", dxt("DXT1", 32, test::kDdsVolume, 4), Kind::Dds, no,
       "volume texture (depth 4)"},
      {"DDS DX10", dxt("DX10", 36), Kind::Dds, no, "DX10"},
      {"DDS one byte over the limit", rgba, Kind::Dds, big, "may take 63 bytes", 4 * 4 * 4 - 1},
      {"PNG cut in half", cut(png, png.size() / 2), Kind::Png, bad, "cannot read this PNG"},
      {"PNG claiming 60000 x 60000", pngHuge, Kind::Png, big, "60000 x 60000"},
      {"JPEG whose Huffman table claims 257 codes", jpegWithHuffmanTable(257, false), Kind::Jpeg,
       bad, "a Huffman table of more than 256 codes"},
      {"a PNG handed over as a JPEG", png, Kind::Jpeg, bad, "not a JPEG"},
      {"garbage", {1, 2, 3, 4, 5, 6, 7, 8, 9}, Kind::Unknown, bad, "not a PNG, JPEG, BMP"},
      {"a BMP handed over as a PNG", bmp, Kind::Png, bad, "not a PNG"},
  };
}

TEST(imageHostile, ClaimsPastTheBytesOrTheLimitAreRefusedBeforeDecoding) {
  for (const Hostile& c : hostileCases()) {
    const Limits limits = c.limit != 0 ? Limits{c.limit} : Limits::forFileSize(c.bytes.size());
    const Decoded d = decode(c.bytes, c.kind, limits);
    EXPECT_EQ(d.status, c.expected) << c.what << ": " << d.detail;
    EXPECT_NE(d.detail.find(c.detailPart), std::string::npos) << c.what << ": " << d.detail;
    EXPECT_TRUE(d.pixels.rgba.empty()) << c.what;
  }
}

// ---- PNG out ----

TEST(imagePng, OpaquePixelsBecomeRgbOthersRgbaAndReadBackTheSame) {
  std::vector<Rgba> almost = picture(false);
  almost[7].a = 254;
  struct Case {
    const char* what;
    std::uint32_t width, height;
    std::vector<Rgba> pixels;
    int channels;  // 0: no PNG
    Bytes rgba{};  // when not the pixels': sizes that do not match
  };
  const Case cases[] = {
      {"every alpha 255", kWidth, kHeight, picture(false), 3},
      {"one alpha 254", kWidth, kHeight, almost, 4},
      {"no pixels", 0, 0, {}, 0},
      {"a byte short", 2, 2, {}, 0, Bytes(15)},
      {"a side too long", kMaxDimension + 1, 1, {}, 0, Bytes((kMaxDimension + 1) * 4)},
  };
  for (const Case& c : cases) {
    // hasAlpha is not trusted: the pixels decide.
    const Pixels p{c.width, c.height, c.rgba.empty() ? test::rgbaBytes(c.pixels) : c.rgba, false};
    const Bytes png = encodePng(p);
    ASSERT_EQ(png.empty(), c.channels == 0) << c.what;
    if (png.empty()) continue;
    const ReadBack back = readPng(png);
    EXPECT_EQ(back.width * 100000 + back.height, static_cast<int>(c.width * 100000 + c.height))
        << c.what;
    EXPECT_EQ(back.channels, c.channels) << c.what;
    EXPECT_TRUE(back.rgba == p.rgba) << c.what;
    EXPECT_TRUE(crcsHold(png)) << c.what;
  }
}

// ---- BMP, TGA and DDS out ----

// Each writer's file read back by this module's decoders. BMP and TGA hold every pixel, in 24
// bits where alpha is all 255; DDS is DXT1 where alpha is 0 or 255 (alpha 0 comes back black),
// DXT5 otherwise, each within the rounding of its 5-6-5 end points; pixels that do not match
// their sides give no file.
TEST(imageEncode, EachKindReadsBackAsWritten) {
  const Rgba teal{0, 128, 128, 255}, clear{0, 0, 0, 0}, half{200, 100, 40, 128};
  auto flat = [](std::uint32_t w, std::uint32_t h, std::vector<Rgba> two) {
    std::vector<Rgba> out;
    for (std::uint32_t i = 0; i < w * h; ++i) out.push_back(two[(i + i / w) % two.size()]);
    return Pixels{w, h, test::rgbaBytes(out), false};
  };
  const Pixels opaque{kWidth, kHeight, test::rgbaBytes(picture(false)), false};
  const Pixels alpha{kWidth, kHeight, test::rgbaBytes(picture(true)), false};
  struct Case {
    const char* what;
    Pixels pixels;
    Kind kind;
    std::size_t bitsAt;  // where the file says its bits per pixel (0: a DDS)
    unsigned bits;       // 24, 32; a DDS: 1 for DXT1, 5 for DXT5; 0: no file
    int tolerance = 0;
  };
  const Case cases[] = {
      {"BMP, opaque", opaque, Kind::Bmp, 28, 24},
      {"BMP with alpha", alpha, Kind::Bmp, 28, 32},
      {"TGA, opaque", opaque, Kind::Tga, 16, 24},
      {"TGA with alpha", alpha, Kind::Tga, 16, 32},
      {"DDS, opaque, cut blocks", flat(5, 3, {teal, {250, 0, 10, 255}}), Kind::Dds, 0, 1, 4},
      {"DDS, alpha 0 or 255", flat(9, 9, {teal, clear}), Kind::Dds, 0, 1, 4},
      {"DDS, alpha between", flat(4, 4, {teal, half}), Kind::Dds, 0, 5, 4},
      {"DDS of one pixel", flat(1, 1, {half}), Kind::Dds, 0, 5, 4},
      {"BMP a byte short", Pixels{2, 2, Bytes(15), false}, Kind::Bmp, 0, 0},
      {"TGA of no pixels", Pixels{0, 0, {}, false}, Kind::Tga, 0, 0},
      {"DDS a side too long", Pixels{kMaxDimension + 1, 1, Bytes((kMaxDimension + 1) * 4), false},
       Kind::Dds, 0, 0},
  };
  for (const Case& c : cases) {
    const Bytes file = encode(c.pixels, c.kind);
    ASSERT_EQ(file.empty(), c.bits == 0) << c.what;
    if (file.empty()) continue;
    if (c.bitsAt != 0) {
      EXPECT_EQ(file[c.bitsAt], c.bits) << c.what;
    } else {
      EXPECT_EQ(std::string(file.begin() + 84, file.begin() + 88), "DXT" + std::to_string(c.bits))
          << c.what;
    }
    const Decoded d = decode(file, c.kind, Limits::forFileSize(file.size()));
    ASSERT_EQ(d.status, Status::Ok) << c.what << ": " << d.detail;
    ASSERT_EQ(d.pixels.width * 100 + d.pixels.height, c.pixels.width * 100 + c.pixels.height);
    for (std::size_t i = 0; i < c.pixels.rgba.size(); ++i) {
      const bool cleared = c.bits == 1 && c.pixels.rgba[i | 3] == 0;
      ASSERT_NEAR(d.pixels.rgba[i], cleared ? 0 : c.pixels.rgba[i], c.tolerance)
          << c.what << ", byte " << i;
    }
  }
}

// A JPEG is decoded only to be written as another kind: a flat grey comes back grey.
TEST(imageEncode, AJpegDecodesForConversion) {
  const Decoded d = decode(jpegImage(), Kind::Jpeg, Limits::forFileSize(jpegImage().size()));
  ASSERT_EQ(d.status, Status::Ok) << d.detail;
  EXPECT_EQ(d.pixels.width * 100 + d.pixels.height, 1608u);
  for (std::size_t i = 0; i < d.pixels.rgba.size(); ++i)
    ASSERT_NEAR(d.pixels.rgba[i], i % 4 == 3 ? 255 : 120, 2) << "byte " << i;
}

// ---- For glTF ----

TEST(imageGltf, PngAndJpegAreKeptOthersConvertedFailuresGiveNothing) {
  const Bytes png = test::pngImage(3, 2, Bytes(18, 200)), jpeg = jpegImage();
  Bytes zeroPng = png;
  zeroPng[16] = zeroPng[17] = zeroPng[18] = zeroPng[19] = 0;  // width 0
  const test::DdsLayout l{
      .width = kWidth, .height = kHeight, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}};
  struct Case {
    const char* what;
    Bytes bytes;
    const char* name;
    Status expected;
    std::string detail;            // a piece of it
    const char* keptAs = nullptr;  // the mime type of a file kept byte for byte
  };
  const Case cases[] = {
      {"PNG", png, "texture.tga", Status::Ok, "PNG, 3 x 2, kept as it is", "image/png"},
      {"JPEG", jpeg, "", Status::Ok, "JPEG, 16 x 8, kept as it is", "image/jpeg"},
      {"BMP", test::bmpImage({kWidth, kHeight, 24}, kArgb), "", Status::Ok,
       "BMP 24-bit, 5 x 3, converted to PNG"},
      {"TGA", test::tgaImage({.width = kWidth, .height = kHeight, .bits = 32, .rle = true}, kArgb),
       "WALL.TGA", Status::Ok, "converted to PNG"},
      {"DDS", test::ddsFile(l, test::ddsPixels(l, picture(true))), "", Status::Ok, "converted"},
      {"empty", {}, "x.tga", Status::Unreadable, "the file is empty"},
      {"PNG of width 0", zeroPng, "", Status::Unreadable, "the PNG has no pixels (0 x 2)"},
      {"BMP claiming 65535 x 65535", hostileCases().front().bytes, "", Status::TooLarge, "GiB"},
      {"JPEG whose Huffman table claims 257 codes", jpegWithHuffmanTable(257, false), "",
       Status::Unreadable, "a Huffman table of more than 256 codes"},
      {"the same table after the scan", jpegWithHuffmanTable(4080, true), "", Status::Unreadable,
       "a Huffman table of more than 256 codes"},
      {"JPEG with a table of 256 codes", jpegWithHuffmanTable(256, false), "", Status::Unreadable,
       "cannot read this JPEG"},
  };
  for (const Case& c : cases) {
    const Prepared p = prepareForGltf(c.bytes, c.name);
    EXPECT_EQ(p.status, c.expected) << c.what << ": " << p.detail;
    EXPECT_NE(p.detail.find(c.detail), std::string::npos) << c.what << ": " << p.detail;
    EXPECT_EQ(p.converted, p.status == Status::Ok && c.keptAs == nullptr) << c.what;
    if (p.status != Status::Ok) {
      EXPECT_TRUE(p.bytes.empty() && p.mimeType.empty()) << c.what;
    } else if (c.keptAs != nullptr) {
      EXPECT_EQ(p.bytes, c.bytes) << c.what;
      EXPECT_EQ(p.mimeType, c.keptAs) << c.what;
    } else {  // a PNG of the pixels the decoder gives, which the table above checks
      const Decoded d =
          decode(c.bytes, identify(c.bytes, c.name), Limits::forFileSize(c.bytes.size()));
      EXPECT_EQ(p.mimeType, "image/png") << c.what;
      EXPECT_EQ(readPng(p.bytes).rgba, d.pixels.rgba) << c.what;
    }
  }
}

}  // namespace
}  // namespace kxm::image
