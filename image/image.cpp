// What a file is (identify), decode's dispatch to DDS or to stb after our own checks, and
// prepareForGltf. The checks on BMP and TGA are in bmp_tga.cpp, the pixel budget in budget.cpp,
// DDS in dds.cpp, PNG out in png_encode.cpp.
#include "image/image.h"
#include "model/block.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <array>
#include <climits>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#include "image/bmp_tga.h"
#include "image/dds.h"
#include "image/jpeg.h"

namespace kxm::image {

namespace detail {
// Defined in stb_impl.cpp: stb's allocations above this many bytes fail, on this thread.
extern thread_local std::size_t stbAllocationCap;
}  // namespace detail

using detail::Failure;
using detail::readTgaHeader;

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

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
    case Kind::Bmp:
      if (!startsWith(bytes, kBmpSignature)) return failed({Status::Unreadable, "not a BMP file"});
      if (auto f = detail::checkBmp(bytes, limits, what)) return failed(std::move(*f));
      break;
    case Kind::Jpeg:
      if (!startsWith(bytes, kJpegSignature))
        return failed({Status::Unreadable, "not a JPEG file"});
      if (auto f = detail::checkJpeg(bytes)) return failed(std::move(*f));
      break;
    case Kind::Tga:
      if (auto f = detail::checkTga(bytes, limits)) return failed(std::move(*f));
      what = detail::describeTga(*readTgaHeader(bytes));
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
  preferHugePages(out.pixels.rgba.data(), size);
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

Kind identify(std::span<const std::uint8_t> bytes, std::string_view nameHint) {
  if (startsWith(bytes, kPngSignature)) return Kind::Png;
  if (startsWith(bytes, kJpegSignature)) return Kind::Jpeg;
  if (startsWith(bytes, kBmpSignature)) return Kind::Bmp;
  if (startsWith(bytes, kDdsSignature)) return Kind::Dds;
  const auto tga = readTgaHeader(bytes);
  if (!tga || !detail::plausibleTga(*tga)) return Kind::Unknown;
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
      case Kind::Jpeg:
      case Kind::Png:
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
        if (auto f = detail::checkJpeg(fileBytes)) {
          out.status = f->status;
          out.detail = std::move(f->detail);
          return out;
        }
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
