// What every decoder here shares (declared in dds.h and image.h): the limit on decoded bytes, the
// pixel budget checked against it, and the words that explain a refusal.
#include <cstdio>
#include <limits>

#include "image/dds.h"

namespace kxm::image {

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

std::string describeSize(std::uint64_t width, std::uint64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace detail

Limits Limits::forFileSize(std::uint64_t fileSize) {
  constexpr std::uint64_t base = 64 * 1024 * 1024;
  constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  Limits limits;
  limits.pixelBytes = fileSize > (max - base) / 8 ? max : base + fileSize * 8;
  return limits;
}

}  // namespace kxm::image
