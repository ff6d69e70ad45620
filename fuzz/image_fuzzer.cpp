// Feeds each input to the image module as every kind and as it is identified, the way the export
// does: identify, decode within a limit, PNG out, and prepareForGltf. Every outcome must keep its
// promises: pixels that match their size and their alpha, a reason for every failure, PNG bytes
// that decode back to the same pixels.
#include <stb/stb_image.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "image/image.h"

namespace {

using namespace kxm::image;

void checkDecoded(const Decoded& d) {
  if (d.detail.empty()) std::abort();
  if (d.status != Status::Ok) {
    if (!d.pixels.rgba.empty()) std::abort();
    return;
  }
  const Pixels& p = d.pixels;
  if (p.width == 0 || p.height == 0 || p.width > kMaxDimension || p.height > kMaxDimension)
    std::abort();
  if (p.rgba.size() != std::size_t{p.width} * p.height * 4) std::abort();
  bool alpha = false;
  for (std::size_t i = 3; i < p.rgba.size(); i += 4) alpha = alpha || p.rgba[i] != 255;
  if (alpha != p.hasAlpha) std::abort();
}

// Small images only: the PNG is decoded again and compared, pixel by pixel.
void checkPngRoundTrip(const Pixels& p) {
  if (p.rgba.size() > 256 * 1024) return;
  const std::vector<std::uint8_t> png = encodePng(p);
  if (png.empty()) std::abort();
  int w = 0, h = 0, channels = 0;
  stbi_uc* back =
      stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &w, &h, &channels, 4);
  if (back == nullptr) std::abort();
  const bool same = static_cast<std::uint32_t>(w) == p.width &&
                    static_cast<std::uint32_t>(h) == p.height && channels == (p.hasAlpha ? 4 : 3) &&
                    std::memcmp(back, p.rgba.data(), p.rgba.size()) == 0;
  stbi_image_free(back);
  if (!same) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  // A smaller budget than a real file gets, so that each run stays quick.
  const Limits limits{4 * 1024 * 1024};
  for (const Kind kind : {Kind::Png, Kind::Jpeg, Kind::Bmp, Kind::Tga, Kind::Dds, Kind::Unknown}) {
    const Decoded d = decode(bytes, kind, limits);
    checkDecoded(d);
    if (d.status == Status::Ok) checkPngRoundTrip(d.pixels);
  }
  // The bytes as pixels too: our deflate must survive any content.
  if (size >= 5) {
    Pixels raw;
    raw.width = 1u + data[0] % 64u;
    raw.height = static_cast<std::uint32_t>((size - 1) / 4 / raw.width);
    if (raw.height > 0) {
      raw.rgba.assign(data + 1, data + 1 + std::size_t{raw.width} * raw.height * 4);
      for (std::size_t i = 3; i < raw.rgba.size(); i += 4)
        raw.hasAlpha = raw.hasAlpha || raw.rgba[i] != 255;
      checkPngRoundTrip(raw);
    }
  }

  const Kind named = identify(bytes, "texture.tga");
  const Kind unnamed = identify(bytes, "");
  if (unnamed != Kind::Unknown && named != unnamed) std::abort();  // the name only adds TGA
  if (kindName(named) == nullptr) std::abort();

  const Prepared prepared = prepareForGltf(bytes, "texture.tga");
  if (prepared.detail.empty()) std::abort();
  if (prepared.status != Status::Ok) {
    if (!prepared.bytes.empty() || !prepared.mimeType.empty()) std::abort();
    return 0;
  }
  if (prepared.bytes.empty()) std::abort();
  if (prepared.converted) {
    if (prepared.mimeType != "image/png" || named == Kind::Png || named == Kind::Jpeg) std::abort();
  } else if (prepared.bytes.size() != size || std::memcmp(prepared.bytes.data(), data, size) != 0) {
    std::abort();
  }
  return 0;
}
