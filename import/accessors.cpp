#include "import/accessors.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

namespace kxm::gltfin {

namespace {

std::uint64_t componentSize(int componentType) {
  switch (componentType) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: return 2;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return 4;
    default: return 0;
  }
}

std::string pointer(std::size_t a, const char* field) {
  return "/accessors/" + std::to_string(a) + "/" + field;
}

// Whether `count` elements of `size` bytes, `stride` apart from `offset`, lie inside view `v`,
// and the view inside its buffer.
bool fits(const tinygltf::Model& model, int v, std::uint64_t offset, std::uint64_t count,
          std::uint64_t size, std::uint64_t stride, const std::string& where, std::string& error) {
  if (v < 0 || static_cast<std::size_t>(v) >= model.bufferViews.size()) {
    error = where + "/bufferView: " + std::to_string(v) + " names no buffer view";
    return false;
  }
  const tinygltf::BufferView& view = model.bufferViews[static_cast<std::size_t>(v)];
  const std::string viewWhere = "/bufferViews/" + std::to_string(v);
  if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= model.buffers.size()) {
    error = viewWhere + "/buffer: " + std::to_string(view.buffer) + " names no buffer";
    return false;
  }
  const std::uint64_t have = model.buffers[static_cast<std::size_t>(view.buffer)].data.size();
  if (view.byteOffset > have || view.byteLength > have - view.byteOffset) {
    error = viewWhere + "/byteLength: " + std::to_string(view.byteLength) + " bytes from " +
            std::to_string(view.byteOffset) + " run past the buffer's " + std::to_string(have);
    return false;
  }
  if (count == 0) return true;
  // The last element ends at offset + (count - 1) × stride + size; each step checked.
  const std::uint64_t length = view.byteLength;
  if (offset > length || size > length - offset ||
      (count - 1) > (length - offset - size) / stride) {
    error = where + "/count: " + std::to_string(count) + " elements of " + std::to_string(size) +
            " bytes, " + std::to_string(stride) + " apart from " + std::to_string(offset) +
            ", run past the buffer view's " + std::to_string(length) + " bytes";
    return false;
  }
  return true;
}

bool checkSparse(const tinygltf::Model& model, std::size_t a, std::uint64_t elementSize,
                 std::string& error) {
  const tinygltf::Accessor& accessor = model.accessors[a];
  const auto& sparse = accessor.sparse;
  const auto n = static_cast<std::uint64_t>(sparse.count);
  if (sparse.count < 0 || n > accessor.count) {
    error = pointer(a, "sparse/count") + ": " + std::to_string(sparse.count) +
            " is not between 0 and the accessor's " + std::to_string(accessor.count);
    return false;
  }
  const std::uint64_t indexSize = componentSize(sparse.indices.componentType);
  if (indexSize == 0 || sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_BYTE ||
      sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_SHORT ||
      sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT) {
    error = pointer(a, "sparse/indices/componentType") + ": not an unsigned integer type";
    return false;
  }
  return fits(model, sparse.indices.bufferView,
              static_cast<std::uint64_t>(sparse.indices.byteOffset), n, indexSize, indexSize,
              pointer(a, "sparse/indices"), error) &&
         fits(model, sparse.values.bufferView, static_cast<std::uint64_t>(sparse.values.byteOffset),
              n, elementSize, elementSize, pointer(a, "sparse/values"), error);
}

double component(const unsigned char* p, int type, bool normalized) {
  switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE: {
      const auto v = static_cast<std::int8_t>(*p);
      return normalized ? std::max(v / 127.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return normalized ? *p / 255.0 : *p;
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
      std::int16_t v;
      std::memcpy(&v, p, 2);
      return normalized ? std::max(v / 32767.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
      std::uint16_t v;
      std::memcpy(&v, p, 2);
      return normalized ? v / 65535.0 : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
      std::uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    default: {
      float v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}

// The first byte of the accessor's first element in its view, and the distance between elements.
const unsigned char* denseBase(const tinygltf::Model& model, const tinygltf::Accessor& accessor,
                               std::uint64_t& stride) {
  const auto& view = model.bufferViews[static_cast<std::size_t>(accessor.bufferView)];
  const std::uint64_t size = componentSize(accessor.componentType) *
                             static_cast<std::uint64_t>(componentsOf(accessor.type));
  stride = view.byteStride > 0 ? view.byteStride : size;
  return model.buffers[static_cast<std::size_t>(view.buffer)].data.data() + view.byteOffset +
         accessor.byteOffset;
}

// Calls put(element, component, pointer to its bytes) for every value, the sparse ones last;
// `dense` false: the sparse ones only.
template <class Put>
void walk(const tinygltf::Model& model, std::size_t a, Put put, bool dense = true) {
  const tinygltf::Accessor& accessor = model.accessors[a];
  const auto n = static_cast<std::size_t>(componentsOf(accessor.type));
  const std::uint64_t size = componentSize(accessor.componentType);
  if (dense && accessor.bufferView >= 0) {
    std::uint64_t stride = 0;
    const unsigned char* base = denseBase(model, accessor, stride);
    for (std::size_t e = 0; e < accessor.count; ++e)
      for (std::size_t c = 0; c < n; ++c) put(e, c, base + e * stride + c * size);
  }
  if (!accessor.sparse.isSparse) return;
  const auto& sparse = accessor.sparse;
  auto at = [&](int v, int offset) {
    const auto& view = model.bufferViews[static_cast<std::size_t>(v)];
    return model.buffers[static_cast<std::size_t>(view.buffer)].data.data() + view.byteOffset +
           static_cast<std::size_t>(offset);
  };
  const unsigned char* indices = at(sparse.indices.bufferView, sparse.indices.byteOffset);
  const unsigned char* values = at(sparse.values.bufferView, sparse.values.byteOffset);
  const std::uint64_t indexSize = componentSize(sparse.indices.componentType);
  for (std::size_t s = 0; s < static_cast<std::size_t>(sparse.count); ++s) {
    const auto e = static_cast<std::uint64_t>(
        component(indices + s * indexSize, sparse.indices.componentType, false));
    if (e >= accessor.count) continue;  // past the accessor: there is no element to replace
    for (std::size_t c = 0; c < n; ++c)
      put(static_cast<std::size_t>(e), c, values + (s * n + c) * size);
  }
}

}  // namespace

int componentsOf(int type) {
  switch (type) {
    case TINYGLTF_TYPE_SCALAR: return 1;
    case TINYGLTF_TYPE_VEC2: return 2;
    case TINYGLTF_TYPE_VEC3: return 3;
    case TINYGLTF_TYPE_VEC4:
    case TINYGLTF_TYPE_MAT2: return 4;
    case TINYGLTF_TYPE_MAT3: return 9;
    case TINYGLTF_TYPE_MAT4: return 16;
    default: return 0;
  }
}

bool checkAccessor(const tinygltf::Model& model, std::size_t a, std::string& error) {
  const tinygltf::Accessor& accessor = model.accessors[a];
  const std::uint64_t size = componentSize(accessor.componentType);
  const auto n = static_cast<std::uint64_t>(componentsOf(accessor.type));
  if (size == 0 || n == 0) {
    error = pointer(a, size == 0 ? "componentType" : "type") + ": not a type glTF knows";
    return false;
  }
  const std::uint64_t count = accessor.count;
  if (count > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    error = pointer(a, "count") + ": " + std::to_string(count) + " is more than a model holds";
    return false;
  }
  if (accessor.bufferView < 0) {
    if (count > kMaxUnbackedElements) {
      error = pointer(a, "count") + ": " + std::to_string(count) +
              " elements of zeros with no buffer view behind them";
      return false;
    }
  } else {
    const auto& views = model.bufferViews;
    const std::uint64_t stride =
        static_cast<std::size_t>(accessor.bufferView) < views.size() &&
                views[static_cast<std::size_t>(accessor.bufferView)].byteStride > 0
            ? views[static_cast<std::size_t>(accessor.bufferView)].byteStride
            : size * n;
    if (stride < size * n) {
      error = "/bufferViews/" + std::to_string(accessor.bufferView) +
              "/byteStride: " + std::to_string(stride) + " is less than the " +
              std::to_string(size * n) + " bytes of an element of accessor " + std::to_string(a);
      return false;
    }
    if (!fits(model, accessor.bufferView, accessor.byteOffset, count, size * n, stride,
              "/accessors/" + std::to_string(a), error)) {
      return false;
    }
  }
  return !accessor.sparse.isSparse || checkSparse(model, a, size * n, error);
}

bool imageBytes(const tinygltf::Model& model, std::size_t i, std::vector<std::uint8_t>& out,
                std::string& error) {
  const tinygltf::Image& image = model.images[i];
  if (image.bufferView < 0) {
    out = image.image;
    return true;
  }
  const std::string where = "/images/" + std::to_string(i);
  if (!fits(model, image.bufferView, 0, 0, 1, 1, where, error)) return false;
  const auto& view = model.bufferViews[static_cast<std::size_t>(image.bufferView)];
  const auto& data = model.buffers[static_cast<std::size_t>(view.buffer)].data;
  out.assign(data.begin() + static_cast<std::ptrdiff_t>(view.byteOffset),
             data.begin() + static_cast<std::ptrdiff_t>(view.byteOffset + view.byteLength));
  return true;
}

void readFloats(const tinygltf::Model& model, std::size_t a, std::vector<float>& out) {
  const tinygltf::Accessor& accessor = model.accessors[a];
  const auto n = static_cast<std::size_t>(componentsOf(accessor.type));
  out.assign(accessor.count * n, 0.0f);
  auto put = [&](std::size_t e, std::size_t c, const unsigned char* p) {
    out[e * n + c] = static_cast<float>(component(p, accessor.componentType, accessor.normalized));
  };
  // Floats are copied as they are, an element at a time: most of a big mesh's bytes.
  const bool floats = accessor.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT;
  if (floats && accessor.bufferView >= 0) {
    std::uint64_t stride = 0;
    const unsigned char* base = denseBase(model, accessor, stride);
    for (std::size_t e = 0; e < accessor.count; ++e)
      std::memcpy(&out[e * n], base + e * stride, n * sizeof(float));
  }
  walk(model, a, put, !(floats && accessor.bufferView >= 0));
}

std::vector<float> readFloats(const tinygltf::Model& model, std::size_t a) {
  std::vector<float> out;
  readFloats(model, a, out);
  return out;
}

void readWords(const tinygltf::Model& model, std::size_t a,
               const std::function<void(const std::uint32_t*, std::size_t)>& take) {
  const tinygltf::Accessor& accessor = model.accessors[a];
  const auto n = static_cast<std::size_t>(componentsOf(accessor.type));
  const std::uint64_t size = componentSize(accessor.componentType);
  if (accessor.bufferView >= 0 && !accessor.sparse.isSparse && size == 4) {
    const auto& view = model.bufferViews[static_cast<std::size_t>(accessor.bufferView)];
    const unsigned char* base = model.buffers[static_cast<std::size_t>(view.buffer)].data.data() +
                                view.byteOffset + accessor.byteOffset;
    if (view.byteStride == 0 || view.byteStride == 4 * n) {  // packed: copied a run at a time
      std::uint32_t run[4096];
      for (std::size_t done = 0, total = accessor.count * n; done < total;) {
        const std::size_t words = std::min<std::size_t>(total - done, std::size(run));
        std::memcpy(run, base + done * 4, words * 4);
        take(run, words);
        done += words;
      }
      return;
    }
  }
  std::vector<std::uint32_t> out(accessor.count * n, 0);
  walk(model, a, [&](std::size_t e, std::size_t c, const unsigned char* p) {
    std::uint32_t word = 0;
    switch (accessor.componentType) {
      case TINYGLTF_COMPONENT_TYPE_BYTE:
        word = static_cast<std::uint32_t>(static_cast<std::int8_t>(*p));
        break;
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: word = *p; break;
      case TINYGLTF_COMPONENT_TYPE_SHORT: {
        std::int16_t v;
        std::memcpy(&v, p, 2);
        word = static_cast<std::uint32_t>(v);
        break;
      }
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        word = v;
        break;
      }
      default: std::memcpy(&word, p, 4);
    }
    out[e * n + c] = word;
  });
  take(out.data(), out.size());
}

std::vector<std::uint32_t> readUnsigned(const tinygltf::Model& model, std::size_t a) {
  const tinygltf::Accessor& accessor = model.accessors[a];
  const auto n = static_cast<std::size_t>(componentsOf(accessor.type));
  std::vector<std::uint32_t> out(accessor.count * n, 0);
  walk(model, a, [&](std::size_t e, std::size_t c, const unsigned char* p) {
    const double v = component(p, accessor.componentType, false);
    out[e * n + c] = v >= 0 && v < 4294967296.0 ? static_cast<std::uint32_t>(v) : 0xFFFFFFFFu;
  });
  return out;
}

}  // namespace kxm::gltfin
