#include "reader/chunk_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string_view>
#include <utility>

#include "format/little_endian.h"
#include "text/escape.h"

namespace kxm {

namespace {

std::string shortfallMessage(const Shortfall& shortfall, const char* what) {
  return std::string(what) + " needs " + std::to_string(shortfall.needed) + " bytes, " +
         std::to_string(shortfall.left) + (shortfall.left == 1 ? " is left" : " are left");
}

}  // namespace

ChunkReader::ChunkReader(std::span<const std::uint8_t> image, Model& model_, ChunkSink* sink_,
                         LoadObserver* observer_, const LoadLimits& limits,
                         const BlockSource& blocks_)
    : cursor(image.data(), static_cast<std::uint32_t>(image.size())),
      model(model_),
      sink(sink_),
      observer(observer_),
      blocks(blocks_),
      limits_(limits) {}

bool ChunkReader::parseImage() {
  return readHeader() && walkTopLevel();
}

namespace {

// A header whose length field could not start a KXM file: the file is something else, and its
// first bytes (a PNG's "\x89PNG", a ZIP's "PK\x03\x04") say what.
std::string notKxm(std::span<const std::uint8_t> image) {
  const std::size_t shown = std::min<std::size_t>(image.size(), 4);
  return "not a KXM file: it starts with " +
         quotedLabel({reinterpret_cast<const char*>(image.data()), shown});
}

}  // namespace

bool ChunkReader::readHeader() {
  std::uint32_t strLength = 0;
  if (!cursor.readU32Le(strLength, "str_length")) return false;
  if (strLength >= kStringCapacity) {
    fail(FailureCause::BadHeader, 0,
         "str_length is " + std::to_string(strLength) + ", 128 or more");
    failure_.plainMessage = notKxm(cursor.image());
    return false;
  }
  // The id goes into a zero-filled buffer: eight letters and a zero byte pass, whatever follows.
  char fileId[kStringCapacity] = {};
  if (!cursor.readBytes(fileId, strLength, "file_id")) return false;
  if (std::memcmp(fileId, layout::kFileId, sizeof layout::kFileId) != 0) {
    const std::string wanted = quotedLabel(layout::kFileId);
    fail(FailureCause::BadHeader, layout::kFileIdOffset, "file_id is not " + wanted);
    // Shorter than the id, it is no id at all; otherwise the magic is wrong, and shown.
    constexpr std::uint32_t kIdLength = sizeof layout::kFileId - 1;
    failure_.plainMessage =
        strLength < kIdLength
            ? notKxm(cursor.image())
            : "file_id is " + quotedLabel({fileId, std::min(strLength, 16u)}) + ", not " + wanted;
    return false;
  }
  const std::uint32_t tail = cursor.offset();
  std::int32_t fileVersion = 0, reserved1 = 0, reserved2 = 0;
  if (!cursor.readI32Le(fileVersion, "file_version") || !cursor.readI32Le(reserved1, "reserved1") ||
      !cursor.readI32Le(reserved2, "reserved2")) {
    return false;
  }
  if (fileVersion != layout::kFileVersion) {
    return fail(FailureCause::BadHeader, tail,
                "file_version is " + std::to_string(fileVersion) + ", not " +
                    std::to_string(layout::kFileVersion));
  }

  if (sink != nullptr) {
    // The names are literals, and so end in a zero byte.
    constexpr const layout::Field* kTail = layout::kHeaderTail.fields.data();
    sink->headerField(0, "str_length", ChunkValue::number(static_cast<std::int32_t>(strLength)));
    sink->headerField(layout::kFileIdOffset, "file_id", ChunkValue::name(fileId));
    const std::int32_t numbers[] = {fileVersion, reserved1, reserved2};
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
      sink->headerField(tail + kTail[i].offset, kTail[i].name.data(),
                        ChunkValue::number(numbers[i]));
    }
  }
  return true;
}

bool ChunkReader::admitsDepth(std::size_t deepest, const ChunkHead& head, const char* what) {
  if (sink == nullptr) return true;
  const std::string refusal = sink->depthRefusal(deepest);
  if (refusal.empty()) return true;
  return fail(FailureCause::NestingTooDeep, head.offset,
              std::string(what) + " nest deeper than " + refusal);
}

namespace {

// Whether a catalogued code belongs to the chunks that this walker reads.
bool inPlace(ChunkReader::Family walker, ChunkCode code) {
  using Family = ChunkReader::Family;
  const ChunkFamily family = chunkFamilyOf(code);
  switch (walker) {
    case Family::TopLevel:
      return code == chunk::FrameRoot || code == chunk::AnimationSetRoot ||
             code == chunk::CustomData;
    case Family::Frame: return family == ChunkFamily::Frame || family == ChunkFamily::FrameBone;
    case Family::Mesh: return family == ChunkFamily::Mesh;
    case Family::Bone: return family == ChunkFamily::Bone;
    case Family::Texture: return family == ChunkFamily::Texture;
    case Family::MultiMaterial: return family == ChunkFamily::MultiMaterial;
    case Family::AnimationSet: return family == ChunkFamily::AnimationSet;
    case Family::Animation: return family == ChunkFamily::Animation;
  }
  return false;
}

}  // namespace

bool ChunkReader::nextChunk(ChunkHead& head, std::uint32_t end, Family family) {
  if (!cursor.readChunkHead(head)) return false;
  if (++usage_.chunkHeads > limits_.chunkHeads) {
    return fail(FailureCause::ChunkLimit, head.offset,
                "more than " + std::to_string(limits_.chunkHeads) +
                    " chunk heads in one load (65536 plus the file's size): chunks that run "
                    "past their parents are walked again and again");
  }
  if (observing() && head.code != 0)
    checkChunkPlace(head, end, family);  // an END's length is never used
  return true;
}

void ChunkReader::checkChunkPlace(const ChunkHead& head, std::uint32_t end, Family family) {
  const bool top = family == Family::TopLevel;
  const bool named = chunkFamilyOf(head.code) != ChunkFamily::Unknown;
  const bool unknown = top ? !inPlace(family, head.code) : !named;
  const bool misplaced = !unknown && !top && !inPlace(family, head.code);
  if (!observer->wantsDetail()) {  // counted only
    if (head.end > end) observer->onFinding({FindingCode::ChunkPastParent, head.offset, {}, {}});
    if (unknown) observer->onFinding({FindingCode::UnknownChunk, head.offset, {}, {}});
    if (misplaced) observer->onFinding({FindingCode::MisplacedChunk, head.offset, {}, {}});
    return;
  }
  if (head.end > end) {
    report(FindingCode::ChunkPastParent, head.offset,
           "its payload of " + std::to_string(head.length) + " bytes ends at " +
               std::to_string(head.end) + ", past the end of " +
               (top ? "the file" : "the chunk that holds it") + " at " + std::to_string(end),
           &head);
  }
  if (unknown) {
    report(FindingCode::UnknownChunk, head.offset,
           "code " + std::to_string(head.code) +
               (top ? " is not a frame (1), animation set (2) or custom data (406) at the top "
                      "level; passed over without a node"
                    : " has no name; passed over"),
           &head);
  } else if (misplaced) {
    report(FindingCode::MisplacedChunk, head.offset,
           std::string(chunkNameOf(head.code)) + " (" + std::to_string(head.code) +
               ") does not belong here; passed over",
           &head);
  }
}

std::vector<ChunkRef> ChunkReader::currentPath() const {
  std::vector<ChunkRef> path;
  path.reserve(path_.size());
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
    path.push_back(std::move(ref));
  }
  return path;
}

void ChunkReader::report(FindingCode code, std::uint32_t offset, std::string message,
                         const ChunkHead* chunk) {
  if (!observing()) return;
  if (!observer->wantsDetail()) {
    observer->onFinding({code, offset, {}, {}});
    return;
  }
  Finding finding{code, offset, currentPath(), std::move(message)};
  if (chunk != nullptr) {
    ChunkRef ref;
    ref.offset = chunk->offset;
    ref.code = chunk->code;
    // At the top level custom data goes by the root it is shown under.
    ref.name = !path_.empty()                     ? chunkNameOf(chunk->code)
               : chunk->code == chunk::CustomData ? rootName(SinkRoot::CustomData)
                                                  : topLevelNameOf(chunk->code);
    finding.path.push_back(std::move(ref));
  }
  observer->onFinding(std::move(finding));
}

void ChunkReader::reportLength(const ChunkHead& head, std::uint64_t bytesRead) {
  report(FindingCode::ValueSizeMismatch, head.offset,
         "its length field says " + std::to_string(head.length) + " bytes, its value takes " +
             std::to_string(bytesRead));
}

void ChunkReader::reportDataLength(const ChunkHead& head, std::uint64_t count,
                                   std::uint32_t entryBytes, const char* what) {
  report(FindingCode::DataSizeMismatch, head.offset,
         "its length field says " + std::to_string(head.length) + " bytes; " +
             std::to_string(count) + " " + what + " of " + std::to_string(entryBytes) +
             " bytes take " + std::to_string(count * entryBytes));
}

void ChunkReader::checkFinite(const ChunkHead& head, const float* values, std::size_t count,
                              const char* what) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isfinite(values[i])) {
      report(FindingCode::NonFiniteFloat, head.offset,
             std::string(what) + " value " + std::to_string(i) + " is " +
                 (std::isnan(values[i]) ? "NaN" : "infinite"));
      return;
    }
  }
}

void ChunkReader::reportMissingEnd(std::uint32_t end, const char* what) {
  report(FindingCode::MissingEnd, std::min(end, cursor.size()),
         std::string("the ") + what + " ends without an END chunk");
}

bool ChunkReader::readName(const ChunkHead& head, char (&dest)[kStringCapacity], const char* what) {
  const std::uint32_t start = cursor.offset();
  if (!cursor.readString(dest, what)) return false;
  if (observing()) {
    const std::uint32_t length = loadU32Le(cursor.image().data() + start);
    if (length >= kStringCapacity) {
      report(FindingCode::NameTooLong, start,
             std::string(what) + " of " + std::to_string(length) +
                 " bytes is skipped: names hold at most 127");
    }
    expectLength(head, std::uint64_t{4} + length);
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
                  " bytes, and this load's arrays may take " + std::to_string(limits_.arrayBytes) +
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
  failure.path = currentPath();
  return failure;
}

}  // namespace kxm
