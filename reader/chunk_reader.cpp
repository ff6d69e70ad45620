#include "reader/chunk_reader.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <new>

#include "reader/offset_math.h"

namespace kxm {

namespace {

// The size of an open file in bytes, or -1. Measured with 64-bit offsets, so a file of 4 GiB or
// more is seen as such and refused rather than taken for a small one.
std::int64_t measureFile(std::FILE* file) {
#if defined(_WIN32)
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  const std::int64_t length = _ftelli64(file);
  if (_fseeki64(file, 0, SEEK_SET) != 0) return -1;
#else
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  const std::int64_t length = ftello(file);
  if (fseeko(file, 0, SEEK_SET) != 0) return -1;
#endif
  return length;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

ChunkReader::ChunkReader(Model& model, ChunkTree& tree, const DisplayOptions& options)
    : model_(model), tree_(tree), options_(options) {
  // Every load ends with an empty model; make sure this one starts with one too.
  model_.clearModel();
}

ChunkReader::~ChunkReader() {
  model_.clearModel();
  releaseImage();
}

void ChunkReader::releaseImage() {
  buffer.reset();
  position = 0;
  size = 0;
}

void ChunkReader::reset() {
  model_.clearModel();
  releaseImage();
}

bool ChunkReader::setImage(const void* data, std::size_t length) {
  reset();
  if (length > kOffsetLimit) return false;
  if (!buffer.allocate(length)) return false;
  if (length != 0) std::memcpy(buffer.get(), data, length);
  size = static_cast<std::uint32_t>(length);
  return true;
}

int ChunkReader::load(const char* path) {
  if (path == nullptr) return 0;
  reset();
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file) return 0;
  const std::int64_t length = measureFile(file.get());
  if (length < 0 || length > std::int64_t{kOffsetLimit}) return 0;
  const auto bytes = static_cast<std::size_t>(length);
  if (!buffer.allocate(bytes)) return 0;
  size = static_cast<std::uint32_t>(length);
  if (std::fread(buffer.get(), 1, bytes, file.get()) != bytes) {
    reset();
    return 0;
  }
  file.reset();
  return parseAndRelease();
}

int ChunkReader::loadImage(const void* data, std::size_t length) {
  if (!setImage(data, length)) {
    reset();
    return 0;
  }
  return parseAndRelease();
}

int ChunkReader::parseAndRelease() {
  const int result = parseImage();
  releaseImage();
  model_.clearModel();
  return result;
}

int ChunkReader::parseImage() {
  if (!buffer) return 0;
  position = 0;
  arrayBudget_ = size;
  std::uint32_t strLength = 0;
  if (!readU32Le(strLength) || strLength >= 128) return 0;
  if (strLength > remaining()) return 0;
  char fileId[128] = {};
  std::memcpy(fileId, image() + position, strLength);
  position += strLength;
  if (std::memcmp(fileId, "MAGICKXM", 9) != 0) return 0;  // eight letters and a zero byte

  std::int32_t fileVersion = 0, reserved1 = 0, reserved2 = 0;
  if (!readI32Le(fileVersion) || !readI32Le(reserved1) || !readI32Le(reserved2)) return 0;
  if (fileVersion != 1) return 0;

  // The header's labels are fixed, whatever the options.
  const NodeHandle root = tree_.fileHeaderRoot;
  auto field = [this, root](const char* name, std::int32_t value) {
    Label label;
    tree_.InsertNode(label.add(name).add(": ").addInt(value).c_str(), root, -1);
  };
  field("str_length", static_cast<std::int32_t>(strLength));
  Label id;
  tree_.InsertNode(id.add("file_id: ").addQuoted(fileId).c_str(), root, -1);
  field("file_version", fileVersion);
  field("reserved1", reserved1);
  field("reserved2", reserved2);

  return walkTopLevel();
}

int ChunkReader::readString(char* dest) {
  if (dest == nullptr || !buffer) return 0;
  std::uint32_t length = 0;
  if (!readU32Le(length)) return 0;
  if (length >= 128) {
    position = saturatingAdd(position, length);
    return 1;
  }
  if (length > remaining()) return 0;  // the length field stays consumed
  std::memcpy(dest, image() + position, length);
  position += length;
  return 1;
}

bool ChunkReader::readBytes(void* dest, std::uint32_t n) {
  if (!buffer || n > size || position > size - n) return false;
  std::memcpy(dest, image() + position, n);
  position += n;
  return true;
}

bool ChunkReader::readU8(std::uint8_t& value) {
  return readBytes(&value, 1);
}

bool ChunkReader::readU16Le(std::uint16_t& value) {
  std::uint8_t b[2];
  if (!readBytes(b, 2)) return false;
  value = static_cast<std::uint16_t>(b[0] | b[1] << 8);
  return true;
}

bool ChunkReader::readU32Le(std::uint32_t& value) {
  std::uint8_t b[4];
  if (!readBytes(b, 4)) return false;
  value = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
          std::uint32_t{b[3]} << 24;
  return true;
}

bool ChunkReader::readI32Le(std::int32_t& value) {
  std::uint32_t raw = 0;
  if (!readU32Le(raw)) return false;
  value = static_cast<std::int32_t>(raw);
  return true;
}

bool ChunkReader::readF32Le(float& value) {
  std::uint32_t raw = 0;
  if (!readU32Le(raw)) return false;
  value = std::bit_cast<float>(raw);
  return true;
}

bool ChunkReader::readFloatsLe(float* values, std::uint32_t count) {
  if (!entriesFit(count, 4) || !buffer) return false;
  for (std::uint32_t i = 0; i < count; ++i) readF32Le(values[i]);
  return true;
}

bool ChunkReader::readMaterial(Material& material) {
  // All 68 bytes or nothing: a material cut short leaves the one in place.
  float values[17];
  if (!readFloatsLe(values, 17)) return false;
  std::memcpy(&material, values, sizeof values);
  return true;
}

bool ChunkReader::readChunkHead(ChunkHead& head) {
  if (!readU32Le(head.code) || !readU32Le(head.length)) return false;
  head.end = saturatingAdd(position, head.length);
  return true;
}

bool ChunkReader::entriesFit(std::uint64_t n, std::uint32_t entrySize) const {
  return n * entrySize <= remaining();
}

bool ChunkReader::claimArrayBytes(std::uint64_t n, std::uint32_t entrySize) {
  const std::uint64_t bytes = n * entrySize;  // n < 2^32, entrySize < 2^16: no wrap
  if (bytes > arrayBudget_) return false;
  arrayBudget_ -= bytes;
  return true;
}

Mesh* ChunkReader::findMesh(std::int32_t frameIndex, std::int32_t meshIndex) {
  if (frameIndex < 0 || static_cast<std::size_t>(frameIndex) >= model_.frames.count()) {
    return nullptr;
  }
  Frame& frame = model_.frames[static_cast<std::size_t>(frameIndex)];
  if (meshIndex < 0 || static_cast<std::size_t>(meshIndex) >= frame.meshes.count()) return nullptr;
  return &frame.meshes[static_cast<std::size_t>(meshIndex)];
}

}  // namespace kxm
