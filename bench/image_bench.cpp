// Converting a texture for glTF: a 2048 x 2048 DXT5 DDS (our own writer) to PNG, as the export
// does for each texture it copies. The goal is under 0.3 s on the development machine for a
// texture as games have them ("smooth"); pure noise is the worst case. The decode and the PNG
// encode are timed on their own as well, to show where the time goes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "image/image.h"
#include "tests/support/image_writers.h"

namespace kxm::image {
namespace {

constexpr std::uint32_t kSide = 2048;

std::uint8_t byte(int v) {
  return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// The blocks of one 4 x 4 tile, as a plain encoder makes them: end points at the corners of the
// tile's colour box, each pixel's index by where it falls between them.
void appendDxt5(std::vector<std::uint8_t>& blocks, const std::array<test::Rgba, 16>& tile) {
  test::Rgba lo{255, 255, 255, 255}, hi{0, 0, 0, 0};
  for (const test::Rgba& p : tile) {
    lo = {std::min(lo.r, p.r), std::min(lo.g, p.g), std::min(lo.b, p.b), std::min(lo.a, p.a)};
    hi = {std::max(hi.r, p.r), std::max(hi.g, p.g), std::max(hi.b, p.b), std::max(hi.a, p.a)};
  }
  const int dr = hi.r - lo.r, dg = hi.g - lo.g, db = hi.b - lo.b, da = hi.a - lo.a;
  const int span = dr * dr + dg * dg + db * db;
  // From the low end to the high: colour 1, 1/3 (index 3), 2/3 (index 2), colour 0; alpha 1,
  // the six between (7 down to 2), alpha 0.
  constexpr std::uint8_t colourIndex[4] = {1, 3, 2, 0};
  constexpr std::uint8_t alphaIndex[8] = {1, 7, 6, 5, 4, 3, 2, 0};
  std::array<std::uint8_t, 16> colours{}, alphas{};
  for (std::size_t i = 0; i < 16; ++i) {
    const test::Rgba& p = tile[i];
    const int along = (p.r - lo.r) * dr + (p.g - lo.g) * dg + (p.b - lo.b) * db;
    colours[i] = colourIndex[span == 0 ? 0 : (3 * along + span / 2) / span];
    alphas[i] = alphaIndex[da == 0 ? 0 : (7 * (p.a - lo.a) + da / 2) / da];
  }
  std::uint16_t c0 = test::rgb565(hi.r, hi.g, hi.b), c1 = test::rgb565(lo.r, lo.g, lo.b);
  if (c0 <= c1) {  // four colours need c0 > c1; a flat tile reads the same either way
    std::swap(c0, c1);
    for (std::uint8_t& c : colours) c = c == 0 ? 1 : c == 1 ? 0 : c == 2 ? 3 : 2;
  }
  test::appendBlock(blocks, test::dxt5AlphaBlock(hi.a, lo.a, alphas));
  test::appendBlock(blocks, test::dxtColourBlock(c0, c1, colours));
}

// A texture as games have them: colours and alpha that change smoothly, with grain.
std::vector<std::uint8_t> smoothTexture() {
  std::uint32_t seed = 12345;
  auto grain = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>(seed >> 29) - 4;
  };
  std::vector<std::uint8_t> blocks;
  std::array<test::Rgba, 16> tile{};
  for (std::uint32_t by = 0; by < kSide; by += 4) {
    for (std::uint32_t bx = 0; bx < kSide; bx += 4) {
      for (std::size_t i = 0; i < 16; ++i) {
        const auto x = static_cast<double>(bx + i % 4), y = static_cast<double>(by + i / 4);
        tile[i] = {byte(static_cast<int>(128 + 90 * std::sin(x / 37) * std::cos(y / 53)) + grain()),
                   byte(static_cast<int>(128 + 90 * std::sin((x + y) / 71)) + grain()),
                   byte(static_cast<int>(128 + 90 * std::cos(x / 23 - y / 41)) + grain()),
                   byte(static_cast<int>(255 - y / 8))};
      }
      appendDxt5(blocks, tile);
    }
  }
  return test::ddsFile({.width = kSide, .height = kSide, .fourCC = "DXT5"}, blocks);
}

// The worst case: every block's indices random, so each pixel is noise to the PNG filter.
std::vector<std::uint8_t> noiseTexture() {
  std::vector<std::uint8_t> blocks;
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 16;
  };
  for (std::uint32_t by = 0; by < kSide / 4; ++by) {
    for (std::uint32_t bx = 0; bx < kSide / 4; ++bx) {
      std::array<std::uint8_t, 16> alphaIndices{}, colourIndices{};
      for (std::size_t i = 0; i < 16; ++i) {
        alphaIndices[i] = static_cast<std::uint8_t>(next() % 8);
        colourIndices[i] = static_cast<std::uint8_t>(next() % 4);
      }
      const int r = static_cast<int>(bx / 2), g = static_cast<int>(by / 2);
      const int b = static_cast<int>((bx + by) / 4);
      test::appendBlock(blocks, test::dxt5AlphaBlock(byte(255 - g), byte(g / 2), alphaIndices));
      test::appendBlock(blocks,
                        test::dxtColourBlock(test::rgb565(byte(r), byte(g), byte(b)),
                                             test::rgb565(byte(r / 2), byte(g / 2), byte(255 - b)),
                                             colourIndices));
    }
  }
  return test::ddsFile({.width = kSide, .height = kSide, .fourCC = "DXT5"}, blocks);
}

void convertToPng(benchmark::State& state, std::vector<std::uint8_t> (*texture)()) {
  const std::vector<std::uint8_t> dds = texture();
  std::size_t pngBytes = 0;
  for (auto _ : state) {
    const Prepared prepared = prepareForGltf(dds, "texture.dds");
    if (prepared.status != Status::Ok) state.SkipWithError(prepared.detail.c_str());
    pngBytes = prepared.bytes.size();
    benchmark::DoNotOptimize(pngBytes);
  }
  state.counters["dds_MB"] = static_cast<double>(dds.size()) / 1e6;
  state.counters["png_MB"] = static_cast<double>(pngBytes) / 1e6;
}
BENCHMARK_CAPTURE(convertToPng, dxt5_smooth, smoothTexture)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(convertToPng, dxt5_noise, noiseTexture)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void decodeOnly(benchmark::State& state, std::vector<std::uint8_t> (*texture)()) {
  const std::vector<std::uint8_t> dds = texture();
  for (auto _ : state) {
    const Decoded decoded = decode(dds, Kind::Dds, Limits::forFileSize(dds.size()));
    if (decoded.status != Status::Ok) state.SkipWithError(decoded.detail.c_str());
    benchmark::DoNotOptimize(decoded.pixels.rgba.data());
  }
}
BENCHMARK_CAPTURE(decodeOnly, dxt5_smooth, smoothTexture)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void encodeOnly(benchmark::State& state, std::vector<std::uint8_t> (*texture)()) {
  const std::vector<std::uint8_t> dds = texture();
  const Decoded decoded = decode(dds, Kind::Dds, Limits::forFileSize(dds.size()));
  if (decoded.status != Status::Ok) {
    state.SkipWithError(decoded.detail.c_str());
    return;
  }
  for (auto _ : state) {
    const std::vector<std::uint8_t> png = encodePng(decoded.pixels);
    if (png.empty()) state.SkipWithError("encodePng gave nothing");
    benchmark::DoNotOptimize(png.data());
  }
}
BENCHMARK_CAPTURE(encodeOnly, dxt5_smooth, smoothTexture)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(encodeOnly, dxt5_noise, noiseTexture)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace kxm::image

BENCHMARK_MAIN();
