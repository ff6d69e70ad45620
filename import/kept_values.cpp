#include <bit>
#include <cmath>
#include <cstring>

#include "format/chunk_catalogue.h"
#include "format/gltf_extras.h"
#include "import/importer.h"
#include "import/kept.h"

namespace kxm::gltfin {

namespace {

// A list of exactly `count` elements, each read by `read`.
template <class Read>
bool keptList(const tinygltf::Value& list, std::size_t count, Read read) {
  if (!list.IsArray() || list.ArrayLen() != count) return false;
  for (std::size_t i = 0; i < count; ++i)
    if (!read(list.Get(static_cast<int>(i)), i)) return false;
  return true;
}

int digitOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  return c == '/' ? 63 : -1;
}

}  // namespace

const tinygltf::Value* keptIn(const tinygltf::Value& extras) {
  if (!extras.IsObject() || !extras.Has(extras::kKey)) return nullptr;
  const tinygltf::Value& kept = extras.Get(extras::kKey);
  return kept.IsObject() ? &kept : nullptr;
}

const tinygltf::Value* keptValue(const tinygltf::Value& kept, const char* key) {
  return kept.IsObject() && kept.Has(key) ? &kept.Get(key) : nullptr;
}

bool keptWord(const tinygltf::Value& value, std::uint32_t& out) {
  if (!value.IsInt()) return false;
  out = static_cast<std::uint32_t>(value.Get<int>());
  return true;
}

bool keptInt(const tinygltf::Value& value, std::int32_t& out) {
  if (!value.IsInt()) return false;
  out = value.Get<int>();
  return true;
}

bool keptFloat(const tinygltf::Value& value, float& out) {
  if (value.IsNumber()) {
    const double v = value.GetNumberAsDouble();
    if (!std::isfinite(v) || std::fabs(v) > 3.4028234663852886e38) return false;
    out = static_cast<float>(v);
    return true;
  }
  if (!value.IsString()) return false;
  const std::string& text = value.Get<std::string>();
  if (text.size() != 10 || text.compare(0, 2, "0x") != 0) return false;
  std::uint32_t bits = 0;
  for (std::size_t i = 2; i < 10; ++i) {
    const char c = text[i];
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) return false;
    bits = bits << 4 | static_cast<std::uint32_t>(digit);
  }
  const float f = std::bit_cast<float>(bits);
  if (std::isfinite(f)) return false;  // a finite float is a number
  out = f;
  return true;
}

bool keptFloats(const tinygltf::Value& list, float* out, std::size_t count) {
  std::vector<float> read(count);
  if (!keptList(list, count,
                [&](const tinygltf::Value& v, std::size_t i) { return keptFloat(v, read[i]); })) {
    return false;
  }
  std::copy(read.begin(), read.end(), out);
  return true;
}

bool keptMaterial(const tinygltf::Value& kept, Material& out) {
  Material m;
  const tinygltf::Value* power = keptValue(kept, extras::kPower);
  auto four = [&](const char* key, float* to) {
    const tinygltf::Value* list = keptValue(kept, key);
    return list != nullptr && keptFloats(*list, to, 4);
  };
  if (!four(extras::kDiffuse, m.diffuse) || !four(extras::kAmbient, m.ambient) ||
      !four(extras::kSpecular, m.specular) || !four(extras::kEmissive, m.emissive) ||
      power == nullptr || !keptFloat(*power, m.power)) {
    return false;
  }
  out = m;
  return true;
}

bool keptName(const tinygltf::Value& value, char (&out)[kNameSize]) {
  if (!value.IsString()) return false;
  copyName(value.Get<std::string>(), out);
  return true;
}

bool keptStates(const tinygltf::Value& list, bool texture, std::vector<ShownState>& out) {
  if (!list.IsArray()) return false;
  std::vector<ShownState> states(list.ArrayLen());
  const bool read = keptList(list, states.size(), [&](const tinygltf::Value& v, std::size_t i) {
    ShownState& state = states[i];
    if (!v.IsArray() || v.ArrayLen() != 2 || !keptWord(v.Get(0), state.code) ||
        !keptWord(v.Get(1), state.raw)) {
      return false;
    }
    if (texture) return state.code >= chunk::TextureStage && state.code <= chunk::TextureTcMode;
    const ShownValue shown = shownValueOf(state.code);
    return shown != ShownValue::None && (shown != ShownValue::Byte || state.raw <= 0xFF);
  });
  if (read) out = std::move(states);
  return read;
}

bool keptBytes(const tinygltf::Value& value, std::vector<std::uint8_t>& out) {
  if (!value.IsString()) return false;
  const std::string& text = value.Get<std::string>();
  if (text.size() % 4 != 0) return false;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t group = 0;
    std::size_t digits = 0;
    for (std::size_t d = 0; d < 4; ++d) {
      const bool last = i + 4 == text.size();
      const int digit = digitOf(text[i + d]);
      if (digit < 0 && !(last && text[i + d] == '=' && d >= 2)) return false;
      if (digit >= 0 && digits != d) return false;  // nothing after padding
      if (digit >= 0) ++digits;
      group = group << 6 | static_cast<std::uint32_t>(digit < 0 ? 0 : digit);
    }
    for (std::size_t b = 0; b + 1 < digits; ++b)
      bytes.push_back(static_cast<std::uint8_t>(group >> (16 - 8 * b)));
  }
  out = std::move(bytes);
  return true;
}

bool keptFits(const tinygltf::Value& kept, const extras::Fingerprint& now) {
  const tinygltf::Value* of = keptValue(kept, extras::kOf);
  return of != nullptr && of->IsString() && of->Get<std::string>() == now.text();
}

std::size_t keptLength(const tinygltf::Value* list) {
  return list != nullptr && list->IsArray() ? list->ArrayLen() : 0;
}

}  // namespace kxm::gltfin
