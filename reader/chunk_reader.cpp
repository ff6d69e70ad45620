#include "reader/chunk_reader.h"

#include <cstring>
#include <utility>

namespace kxm {

namespace {

std::string shortfallMessage(const Shortfall& shortfall, const char* what) {
  return std::string(what) + " needs " + std::to_string(shortfall.needed) + " bytes, " +
         std::to_string(shortfall.left) + (shortfall.left == 1 ? " is left" : " are left");
}

}  // namespace

ChunkReader::ChunkReader(std::span<const std::uint8_t> image, Model& model_, ChunkTree& tree_,
                         const DisplayOptions& options_)
    : cursor(image.data(), static_cast<std::uint32_t>(image.size())),
      model(model_),
      tree(tree_),
      options(options_),
      limits_(LoadLimits::forFileSize(static_cast<std::uint32_t>(image.size()))) {}

bool ChunkReader::parseImage() {
  return readHeader() && walkTopLevel();
}

bool ChunkReader::readHeader() {
  std::uint32_t strLength = 0;
  if (!cursor.readU32Le(strLength, "str_length")) return false;
  if (strLength >= kStringCapacity) {
    return fail(FailureCause::BadHeader, 0,
                "str_length is " + std::to_string(strLength) + ", 128 or more");
  }
  // The id goes into a zero-filled buffer: eight letters and a zero byte pass, whatever follows.
  char fileId[kStringCapacity] = {};
  if (!cursor.readBytes(fileId, strLength, "file_id")) return false;
  if (std::memcmp(fileId, "MAGICKXM", 9) != 0) {
    return fail(FailureCause::BadHeader, 4, "file_id is not \"MAGICKXM\"");
  }
  const std::uint32_t versionOffset = cursor.offset();
  std::int32_t fileVersion = 0, reserved1 = 0, reserved2 = 0;
  if (!cursor.readI32Le(fileVersion, "file_version") ||
      !cursor.readI32Le(reserved1, "reserved1") || !cursor.readI32Le(reserved2, "reserved2")) {
    return false;
  }
  if (fileVersion != 1) {
    return fail(FailureCause::BadHeader, versionOffset,
                "file_version is " + std::to_string(fileVersion) + ", not 1");
  }

  // The header's labels are fixed, whatever the options.
  const NodeHandle root = tree.fileHeaderRoot;
  auto field = [this, root](const char* name, std::int32_t value) {
    Label label;
    tree.InsertNode(label.add(name).add(": ").addInt(value).c_str(), root, -1);
  };
  field("str_length", static_cast<std::int32_t>(strLength));
  Label id;
  tree.InsertNode(id.add("file_id: ").addQuoted(fileId).c_str(), root, -1);
  field("file_version", fileVersion);
  field("reserved1", reserved1);
  field("reserved2", reserved2);
  return true;
}

bool ChunkReader::nextChunk(ChunkHead& head) {
  if (!cursor.readChunkHead(head)) return false;
  if (++usage_.chunkHeads > limits_.chunkHeads) {
    return fail(FailureCause::ChunkLimit, head.offset,
                "more than " + std::to_string(limits_.chunkHeads) +
                    " chunk heads in one load (65536 plus the file's size): chunks that run "
                    "past their parents are walked again and again");
  }
  return true;
}

bool ChunkReader::fail(FailureCause cause, std::uint32_t offset, std::string message) {
  if (!failure_) {
    failure_.cause = cause;
    failure_.offset = offset;
    failure_.message = std::move(message);
  }
  return false;
}

bool ChunkReader::outOfMemory(const char* what) {
  return fail(FailureCause::OutOfMemory, cursor.offset(),
              std::string("no memory left for ") + what);
}

bool ChunkReader::countFits(std::uint64_t count, std::uint32_t entryBytes, const char* what) {
  const std::uint64_t needed = count * entryBytes;  // count < 2^32, entryBytes < 2^16: no wrap
  if (needed <= cursor.remaining()) return true;
  return fail(FailureCause::CountExceedsFile, cursor.offset(),
              shortfallMessage({cursor.offset(), needed, cursor.remaining(), what}, what));
}

bool ChunkReader::chargeArray(std::uint64_t count, std::uint32_t entryBytes, const char* what) {
  const std::uint64_t bytes = count * entryBytes;
  if (bytes <= limits_.arrayBytes - usage_.arrayBytes) {
    usage_.arrayBytes += bytes;
    return true;
  }
  return fail(FailureCause::MemoryLimit, cursor.offset(),
              std::string(what) + " would take " + std::to_string(bytes) +
                  " bytes, and this load's arrays may take " +
                  std::to_string(limits_.arrayBytes) +
                  " in all (64 MiB plus 8 times the file's size); " +
                  std::to_string(usage_.arrayBytes) + " are taken");
}

LoadFailure ChunkReader::explainFailure() const {
  LoadFailure failure = failure_;
  if (!failure) {
    // Every other failure is a bounded read that ran out of file.
    const Shortfall& shortfall = cursor.shortfall();
    const char* what = shortfall.what;
    if (what == nullptr) what = path_.empty() ? "value" : nameOf(path_.size() - 1);
    failure.cause = FailureCause::Truncated;
    failure.offset = shortfall.offset;
    failure.message = shortfallMessage(shortfall, what);
  }
  failure.path.reserve(path_.size());
  for (std::size_t depth = 0; depth < path_.size(); ++depth) {
    const PathEntry& entry = path_[depth];
    ChunkRef ref;
    ref.offset = entry.offset;
    ref.code = entry.code;
    ref.name = nameOf(depth);
    if (entry.objectName != nullptr) {
      ref.objectName = entry.objectName;
      ref.hasObjectName = true;
    }
    failure.path.push_back(std::move(ref));
  }
  return failure;
}

}  // namespace kxm
