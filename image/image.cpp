#include "image/image.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#include "image/dds.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kxm::image {

namespace detail {
// Defined in stb_impl.cpp: stb's allocations above this many bytes fail, on this thread.
extern thread_local std::size_t stbAllocationCap;
}  // namespace detail

using detail::Failure;

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

std::uint16_t readU16Le(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t readU32Le(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

bool startsWith(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::array<std::uint8_t, 3> kJpegSignature = {0xFF, 0xD8, 0xFF};
constexpr std::array<std::uint8_t, 2> kBmpSignature = {'B', 'M'};
constexpr std::array<std::uint8_t, 4> kDdsSignature = {'D', 'D', 'S', ' '};

bool endsWithTga(std::string_view name) {
  if (name.size() < 4) return false;
  const std::string_view tail = name.substr(name.size() - 4);
  constexpr std::string_view lower = ".tga";
  for (std::size_t i = 0; i < 4; ++i) {
    const char c =
        tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
    if (c != lower[i]) return false;
  }
  return true;
}

// ---- TGA: 18 bytes of header and no signature ----

struct TgaHeader {
  std::uint8_t idLength, mapType, imageType;
  std::uint16_t mapFirst, mapLength;
  std::uint8_t mapBits;
  std::uint16_t width, height;
  std::uint8_t bits;  // the descriptor's origin bits are stb's business

  bool indexed() const { return mapType == 1; }
  bool rle() const { return imageType >= 9; }
};

constexpr std::size_t kTgaHeaderSize = 18;

std::optional<TgaHeader> readTgaHeader(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kTgaHeaderSize) return std::nullopt;
  TgaHeader h{};
  h.idLength = bytes[0];
  h.mapType = bytes[1];
  h.imageType = bytes[2];
  h.mapFirst = readU16Le(bytes, 3);
  h.mapLength = readU16Le(bytes, 5);
  h.mapBits = bytes[7];
  h.width = readU16Le(bytes, 12);
  h.height = readU16Le(bytes, 14);
  h.bits = bytes[16];
  return h;
}

// The kinds stb reads: colour-mapped (8- or 16-bit indices into 15- to 32-bit colours), true
// colour of 15 to 32 bits, grey of 8 (or 16 with alpha), each raw or RLE.
bool plausibleTga(const TgaHeader& h) {
  if (h.indexed()) {
    if (h.imageType != 1 && h.imageType != 9) return false;
    if (h.mapBits != 8 && h.mapBits != 15 && h.mapBits != 16 && h.mapBits != 24 && h.mapBits != 32)
      return false;
    return h.bits == 8 || h.bits == 16;
  }
  if (h.mapType != 0) return false;
  if (h.imageType != 2 && h.imageType != 3 && h.imageType != 10 && h.imageType != 11) return false;
  return h.bits == 8 || h.bits == 15 || h.bits == 16 || h.bits == 24 || h.bits == 32;
}

std::string describeTga(const TgaHeader& h) {
  std::string what = "TGA ";
  what += h.indexed() ? "colour-mapped " : (h.imageType & 7) == 3 ? "grey " : "true colour ";
  what += std::to_string(h.bits);
  what += h.rle() ? "-bit RLE" : "-bit";
  return what;
}

// Everything stb is about to read from a TGA, checked against the bytes first: stb reads zeros
// past the end of its input and would turn a cut file into a picture.
std::optional<Failure> checkTga(std::span<const std::uint8_t> bytes, const Limits& limits) {
  const auto h = readTgaHeader(bytes);
  if (!h) return Failure{Status::Unreadable, "the TGA header is cut short"};
  if (!plausibleTga(*h)) {
    return Failure{Status::Unsupported, "TGA image type " + std::to_string(h->imageType) +
                                            " with " + std::to_string(h->bits) +
                                            " bits per pixel is not read"};
  }
  if (auto f = detail::checkPixelBudget("the TGA", h->width, h->height, limits)) return f;
  std::uint64_t at = kTgaHeaderSize + h->idLength;
  if (h->indexed()) {
    // stb would skip this many bytes rather than number the colours from it.
    if (h->mapFirst != 0) {
      return Failure{Status::Unsupported, "a TGA colour map that starts at entry " +
                                              std::to_string(h->mapFirst) + " is not read"};
    }
    if (h->mapLength == 0)
      return Failure{Status::Unreadable, "the colour-mapped TGA has no colours"};
    at += std::uint64_t{h->mapLength} * ((h->mapBits + 7u) / 8u);
  }
  const std::uint64_t pixelSize = (h->bits + 7u) / 8u;
  const std::uint64_t pixels = std::uint64_t{h->width} * h->height;
  const std::uint64_t size = bytes.size();
  if (!h->rle()) {
    const std::uint64_t need = at + pixels * pixelSize;
    if (need > size) {
      return Failure{Status::Unreadable, "the TGA's pixels need " + std::to_string(need) +
                                             " bytes; the file has " + std::to_string(size)};
    }
    return std::nullopt;
  }
  // Walk the packets: a head byte, then one pixel (a run) or up to 128 (raw).
  std::uint64_t covered = 0;
  while (covered < pixels) {
    if (at >= size) {
      return Failure{Status::Unreadable, "the TGA's RLE pixels stop after " +
                                             std::to_string(covered) + " of " +
                                             std::to_string(pixels) + " pixels"};
    }
    const std::uint8_t head = bytes[static_cast<std::size_t>(at)];
    const std::uint64_t count = (head & 0x7Fu) + 1u;
    at += 1 + ((head & 0x80u) != 0 ? pixelSize : count * pixelSize);
    if (at > size) {
      return Failure{Status::Unreadable, "the TGA's RLE pixels stop after " +
                                             std::to_string(covered) + " of " +
                                             std::to_string(pixels) + " pixels"};
    }
    covered += count;
  }
  return std::nullopt;
}

// ---- BMP ----

// Everything stb is about to read from a BMP, checked against the bytes first: the pixel rows,
// and for 1, 4 and 8 bits, that each pixel names a colour the palette has (stb would take an
// unset one from its stack).
//
// Alpha is stb's rule: a 32-bit BMP without masks (BI_RGB) has alpha in its fourth byte, one
// with a V4 or V5 header has it where the alpha mask says, 16 bits and masks in a 40-byte
// header (BI_BITFIELDS) have none. Where every alpha read is 0 the image is opaque: most
// writers leave the fourth byte 0 and mean no alpha, not an invisible picture.
std::optional<Failure> checkBmp(std::span<const std::uint8_t> bytes, const Limits& limits,
                                std::string& what) {
  constexpr std::size_t kFileHeader = 14;
  if (bytes.size() < kFileHeader + 4)
    return Failure{Status::Unreadable, "the BMP header is cut short"};
  const std::uint32_t infoSize = readU32Le(bytes, kFileHeader);
  if (infoSize != 12 && infoSize != 40 && infoSize != 56 && infoSize != 108 && infoSize != 124) {
    return Failure{Status::Unsupported,
                   "a BMP header of " + std::to_string(infoSize) + " bytes is not read"};
  }
  if (bytes.size() < kFileHeader + infoSize)
    return Failure{Status::Unreadable, "the BMP header is cut short"};
  std::int64_t width = 0, height = 0;
  std::uint32_t bits = 0, compression = 0;
  if (infoSize == 12) {
    width = readU16Le(bytes, 18);
    height = readU16Le(bytes, 20);
    bits = readU16Le(bytes, 24);
  } else {
    width = static_cast<std::int32_t>(readU32Le(bytes, 18));
    height = static_cast<std::int32_t>(readU32Le(bytes, 22));  // below 0: rows from the top
    bits = readU16Le(bytes, 28);
    compression = readU32Le(bytes, 30);
  }
  what = "BMP " + std::to_string(bits) + "-bit";
  if (compression == 1 || compression == 2)
    return Failure{Status::Unsupported, "RLE-compressed BMP is not read"};
  if (compression == 4 || compression == 5)
    return Failure{Status::Unsupported, "a BMP that holds a JPEG or PNG is not read"};
  if (compression > 3) {
    return Failure{Status::Unsupported,
                   "BMP compression " + std::to_string(compression) + " is not read"};
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return Failure{Status::Unsupported, "a " + std::to_string(bits) + "-bit BMP is not read"};
  if (width < 0)
    return Failure{Status::Unreadable, "the BMP's width is negative: " + std::to_string(width)};
  const std::uint64_t w = static_cast<std::uint64_t>(width);
  const std::uint64_t h = static_cast<std::uint64_t>(height < 0 ? -height : height);
  if (auto f = detail::checkPixelBudget("the BMP", w, h, limits)) return f;

  const std::uint64_t offset = readU32Le(bytes, 10);
  const std::uint64_t rowBytes = (w * bits + 7) / 8;
  const std::uint64_t stride = (rowBytes + 3) / 4 * 4;
  const std::uint64_t need = offset + stride * (h - 1) + rowBytes;
  if (need > bytes.size()) {
    return Failure{Status::Unreadable, "the BMP's pixel rows end at byte " + std::to_string(need) +
                                           "; the file has " + std::to_string(bytes.size())};
  }
  if (bits > 8) return std::nullopt;
  // The palette as stb counts it: what lies between the header and the pixels.
  const std::int64_t paletteBytes = static_cast<std::int64_t>(offset) -
                                    static_cast<std::int64_t>(kFileHeader) -
                                    (infoSize == 12 ? 24 : static_cast<std::int64_t>(infoSize));
  const std::int64_t colours = paletteBytes / (infoSize == 12 ? 3 : 4);
  if (colours < 1 || colours > 256) {
    return Failure{Status::Unreadable, "the " + std::to_string(bits) + "-bit BMP has room for " +
                                           std::to_string(colours) + " palette colours"};
  }
  const unsigned mask = (1u << bits) - 1u;
  for (std::uint64_t y = 0; y < h; ++y) {
    const std::uint64_t row = offset + y * stride;
    for (std::uint64_t x = 0; x < w; ++x) {
      const std::uint64_t bit = x * bits;
      const unsigned byte = bytes[static_cast<std::size_t>(row + bit / 8)];
      const unsigned index = (byte >> (8 - bits - bit % 8)) & mask;
      if (index >= static_cast<std::uint64_t>(colours)) {
        return Failure{Status::Unreadable, "a pixel names colour " + std::to_string(index) +
                                               " of a palette of " + std::to_string(colours)};
      }
    }
  }
  return std::nullopt;
}

// ---- PNG: the sides are in the IHDR chunk, which must come first ----

struct PngSize {
  std::uint32_t width, height;
};

std::optional<PngSize> readPngSize(std::span<const std::uint8_t> bytes) {
  constexpr std::array<std::uint8_t, 4> ihdr = {'I', 'H', 'D', 'R'};
  if (bytes.size() < 24 || !std::equal(ihdr.begin(), ihdr.end(), bytes.begin() + 12))
    return std::nullopt;
  auto readU32Be = [&](std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) << 24 |
           static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 3]);
  };
  return PngSize{readU32Be(16), readU32Be(20)};
}

// ---- stb ----

struct StbFree {
  void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

// While it lives, stb's allocations on this thread are held to `cap` bytes each.
class StbAllocationCap {
 public:
  explicit StbAllocationCap(std::size_t cap) : saved_(detail::stbAllocationCap) {
    detail::stbAllocationCap = cap;
  }
  ~StbAllocationCap() { detail::stbAllocationCap = saved_; }
  StbAllocationCap(const StbAllocationCap&) = delete;
  StbAllocationCap& operator=(const StbAllocationCap&) = delete;

 private:
  std::size_t saved_;
};

// One allocation may take four times the pixel budget: a 16-bit RGBA PNG inflates to twice its
// RGBA size, and zlib's buffer may double once more.
std::size_t stbCapFor(const Limits& limits) {
  const std::uint64_t budget = limits.pixelBytes;
  const std::uint64_t cap = budget > (std::numeric_limits<std::uint64_t>::max() - kMiB) / 4
                                ? UINT64_MAX
                                : budget * 4 + kMiB;
  return cap > SIZE_MAX ? SIZE_MAX : static_cast<std::size_t>(cap);
}

Failure stbFailure(const char* kind) {
  const char* reason = stbi_failure_reason();
  const std::string why = reason != nullptr ? reason : "no reason given";
  const Status status =
      why.find("not supported") != std::string::npos ? Status::Unsupported : Status::Unreadable;
  return {status, std::string("cannot read this ") + kind + ": " + why};
}

Decoded failed(Failure f) {
  Decoded d;
  d.status = f.status;
  d.detail = std::move(f.detail);
  return d;
}

// PNG, JPEG, BMP and TGA, after our own checks of what the kind needs.
Decoded decodeWithStb(std::span<const std::uint8_t> bytes, Kind kind, const Limits& limits) {
  const char* name = kindName(kind);
  std::string what = name;
  switch (kind) {
    case Kind::Png: {
      if (!startsWith(bytes, kPngSignature)) return failed({Status::Unreadable, "not a PNG file"});
      // Ours first: stb refuses a PNG over 1 GiB in words that hide why.
      const auto size = readPngSize(bytes);
      if (!size)
        return failed({Status::Unreadable, "the PNG does not begin with its header chunk"});
      if (auto f = detail::checkPixelBudget("the PNG", size->width, size->height, limits))
        return failed(std::move(*f));
      break;
    }
    case Kind::Jpeg:
      if (!startsWith(bytes, kJpegSignature))
        return failed({Status::Unreadable, "not a JPEG file"});
      break;
    case Kind::Bmp:
      if (!startsWith(bytes, kBmpSignature)) return failed({Status::Unreadable, "not a BMP file"});
      if (auto f = checkBmp(bytes, limits, what)) return failed(std::move(*f));
      break;
    case Kind::Tga:
      if (auto f = checkTga(bytes, limits)) return failed(std::move(*f));
      what = describeTga(*readTgaHeader(bytes));
      break;
    default: return failed({Status::Unreadable, "not an image"});
  }
  if (bytes.size() > static_cast<std::size_t>(INT_MAX))
    return failed({Status::TooLarge, std::string("the ") + name + " file is over 2 GiB"});
  const auto* data = bytes.data();
  const int length = static_cast<int>(bytes.size());
  const StbAllocationCap cap(stbCapFor(limits));

  int width = 0, height = 0, channels = 0;
  if (stbi_info_from_memory(data, length, &width, &height, &channels) == 0)
    return failed(stbFailure(name));
  // stb gives a BMP stored from the top its negative height; checkBmp has bounded it.
  if (kind == Kind::Bmp && height < 0) height = -height;
  const std::string the = std::string("the ") + name;
  if (auto f = detail::checkPixelBudget(the.c_str(), static_cast<std::uint64_t>(width),
                                        static_cast<std::uint64_t>(height), limits))
    return failed(std::move(*f));

  int loadedWidth = 0, loadedHeight = 0;
  const std::unique_ptr<stbi_uc, StbFree> pixels(
      stbi_load_from_memory(data, length, &loadedWidth, &loadedHeight, &channels, 4));
  if (!pixels) return failed(stbFailure(name));
  if (loadedWidth != width || loadedHeight != height) {
    return failed(
        {Status::Unreadable, "the " + std::string(name) + " header says " +
                                 detail::describeSize(static_cast<std::uint64_t>(width),
                                                      static_cast<std::uint64_t>(height)) +
                                 " but decodes differently"});
  }
  Decoded out;
  out.pixels.width = static_cast<std::uint32_t>(width);
  out.pixels.height = static_cast<std::uint32_t>(height);
  const std::size_t size = std::size_t{out.pixels.width} * out.pixels.height * 4;
  out.pixels.rgba.reserve(size);
  detail::preferHugePages(out.pixels.rgba.data(), size);
  out.pixels.rgba.assign(pixels.get(), pixels.get() + size);
  out.status = Status::Ok;
  out.detail = what + ", " + detail::describeSize(out.pixels.width, out.pixels.height);
  return out;
}

bool anyAlphaBelow255(const std::vector<std::uint8_t>& rgba) {
  for (std::size_t i = 3; i < rgba.size(); i += 4) {
    if (rgba[i] != 255) return true;
  }
  return false;
}

}  // namespace

namespace detail {

std::optional<Failure> checkPixelBudget(const char* what, std::uint64_t width, std::uint64_t height,
                                        const Limits& limits) {
  if (width == 0 || height == 0) {
    return Failure{Status::Unreadable,
                   std::string(what) + " has no pixels (" + describeSize(width, height) + ")"};
  }
  if (width > kMaxDimension || height > kMaxDimension) {
    return Failure{Status::TooLarge, std::string(what) + " claims " + describeSize(width, height) +
                                         " pixels; a side may be at most " +
                                         std::to_string(kMaxDimension)};
  }
  const std::uint64_t bytes = width * height * 4;  // at most 2^34
  if (bytes > limits.pixelBytes) {
    return Failure{Status::TooLarge, std::string(what) + " claims " + describeSize(width, height) +
                                         " pixels, " + describeBytes(bytes) +
                                         " decoded; a file of this size may take " +
                                         describeBytes(limits.pixelBytes)};
  }
  return std::nullopt;
}

std::string describeBytes(std::uint64_t bytes) {
  constexpr const char* units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

void preferHugePages(const void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
  if (data != nullptr && end > first)
    madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  static_cast<void>(data);
  static_cast<void>(bytes);
#endif
}

std::string describeSize(std::uint64_t width, std::uint64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace detail

Limits Limits::forFileSize(std::uint64_t fileSize) {
  constexpr std::uint64_t base = 64 * kMiB;
  constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  Limits limits;
  limits.pixelBytes = fileSize > (max - base) / 8 ? max : base + fileSize * 8;
  return limits;
}

Kind identify(std::span<const std::uint8_t> bytes, std::string_view nameHint) {
  if (startsWith(bytes, kPngSignature)) return Kind::Png;
  if (startsWith(bytes, kJpegSignature)) return Kind::Jpeg;
  if (startsWith(bytes, kBmpSignature)) return Kind::Bmp;
  if (startsWith(bytes, kDdsSignature)) return Kind::Dds;
  const auto tga = readTgaHeader(bytes);
  if (!tga || !plausibleTga(*tga)) return Kind::Unknown;
  if (endsWithTga(nameHint)) return Kind::Tga;
  // Without the name to say so, a header that looks right by chance must also hold pixels.
  return tga->width != 0 && tga->height != 0 ? Kind::Tga : Kind::Unknown;
}

const char* kindName(Kind kind) {
  switch (kind) {
    case Kind::Png: return "PNG";
    case Kind::Jpeg: return "JPEG";
    case Kind::Bmp: return "BMP";
    case Kind::Tga: return "TGA";
    case Kind::Dds: return "DDS";
    case Kind::Unknown: break;
  }
  return "unknown";
}

Decoded decode(std::span<const std::uint8_t> bytes, Kind kind, const Limits& limits) {
  try {
    Decoded out;
    switch (kind) {
      case Kind::Dds: out = decodeDds(bytes, limits); break;
      case Kind::Png:
      case Kind::Jpeg:
      case Kind::Bmp:
      case Kind::Tga: out = decodeWithStb(bytes, kind, limits); break;
      case Kind::Unknown:
        return failed({Status::Unreadable, "not a PNG, JPEG, BMP, TGA or DDS image"});
    }
    if (out.status == Status::Ok) out.pixels.hasAlpha = anyAlphaBelow255(out.pixels.rgba);
    return out;
  } catch (const std::bad_alloc&) {
    return failed({Status::Unreadable, "out of memory"});
  }
}

Prepared prepareForGltf(std::span<const std::uint8_t> fileBytes, std::string_view nameHint) {
  Prepared out;
  try {
    const Kind kind = identify(fileBytes, nameHint);
    if (kind == Kind::Png || kind == Kind::Jpeg) {
      // Kept as they are: only the header is read, to refuse sides no viewer could show.
      std::uint64_t width = 0, height = 0;
      if (const auto size = readPngSize(fileBytes); kind == Kind::Png && size) {
        width = size->width;
        height = size->height;
      } else if (kind == Kind::Png) {
        out.detail = "the PNG does not begin with its header chunk";
        return out;
      } else {
        int w = 0, h = 0, channels = 0;
        if (fileBytes.size() > static_cast<std::size_t>(INT_MAX) ||
            stbi_info_from_memory(fileBytes.data(), static_cast<int>(fileBytes.size()), &w, &h,
                                  &channels) == 0) {
          const Failure f = fileBytes.size() > static_cast<std::size_t>(INT_MAX)
                                ? Failure{Status::TooLarge, "the JPEG file is over 2 GiB"}
                                : stbFailure("JPEG");
          out.status = f.status;
          out.detail = f.detail;
          return out;
        }
        width = static_cast<std::uint64_t>(w);
        height = static_cast<std::uint64_t>(h);
      }
      const std::string the = std::string("the ") + kindName(kind);
      // The file is passed on, not decoded here: only its sides are held to kMaxDimension.
      Limits unlimited;
      unlimited.pixelBytes = std::numeric_limits<std::uint64_t>::max();
      if (auto f = detail::checkPixelBudget(the.c_str(), width, height, unlimited)) {
        out.status = f->status;
        out.detail = f->detail;
        return out;
      }
      out.bytes.assign(fileBytes.begin(), fileBytes.end());
      out.status = Status::Ok;
      out.mimeType = kind == Kind::Png ? "image/png" : "image/jpeg";
      out.detail = std::string(kindName(kind)) + ", " + detail::describeSize(width, height) +
                   ", kept as it is";
      return out;
    }
    if (kind == Kind::Unknown) {
      out.status = Status::Unreadable;
      out.detail =
          fileBytes.empty() ? "the file is empty" : "not a PNG, JPEG, BMP, TGA or DDS image";
      return out;
    }
    Decoded decoded = decode(fileBytes, kind, Limits::forFileSize(fileBytes.size()));
    if (decoded.status != Status::Ok) {
      out.status = decoded.status;
      out.detail = std::move(decoded.detail);
      return out;
    }
    out.bytes = encodePng(decoded.pixels);
    if (out.bytes.empty()) {
      out.status = Status::Unreadable;
      out.detail = decoded.detail + ": too large to write as PNG, or out of memory";
      return out;
    }
    out.status = Status::Ok;
    out.mimeType = "image/png";
    out.converted = true;
    out.detail = decoded.detail + ", converted to PNG";
    return out;
  } catch (const std::bad_alloc&) {
    Prepared none;
    none.detail = "out of memory";
    return none;
  }
}

}  // namespace kxm::image
