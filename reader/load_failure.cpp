#include "reader/load_failure.h"

#include <cstdio>

#include "text/escape.h"
#include "text/format.h"

namespace kxm {

std::string_view causeName(FailureCause cause) {
  switch (cause) {
    case FailureCause::None: return "none";
    case FailureCause::FileNotFound: return "file-not-found";
    case FailureCause::NotAFile: return "not-a-file";
    case FailureCause::ReadError: return "read-error";
    case FailureCause::FileTooLarge: return "file-too-large";
    case FailureCause::BadHeader: return "bad-header";
    case FailureCause::Truncated: return "truncated";
    case FailureCause::CountExceedsFile: return "count-exceeds-file";
    case FailureCause::VertexOutsideFile: return "vertex-outside-file";
    case FailureCause::OutOfMemory: return "out-of-memory";
    case FailureCause::MemoryLimit: return "memory-limit";
    case FailureCause::ChunkLimit: return "chunk-limit";
    case FailureCause::NestingTooDeep: return "nesting-too-deep";
  }
  return "unknown";
}

namespace {

void appendChunk(std::string& out, const ChunkRef& chunk) {
  appendEscapedLabel(out, chunk.name);
  if (chunk.hasObjectName) {
    out += " \"";
    appendEscapedLabel(out, chunk.objectName);
    out += '"';
  }
}

}  // namespace

std::string describePath(const std::vector<ChunkRef>& path) {
  // A hostile file nests a million deep; its first and last chunks say where well enough.
  constexpr std::size_t kEachEnd = 8;
  std::string out;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path.size() > 2 * kEachEnd + 1 && i == kEachEnd) {
      out += " > ... (" + std::to_string(path.size() - 2 * kEachEnd) + " more)";
      i = path.size() - kEachEnd - 1;
      continue;
    }
    if (i != 0) out += " > ";
    appendChunk(out, path[i]);
  }
  return out;
}

std::string describeFailure(const LoadFailure& failure) {
  std::string out(causeName(failure.cause));
  if (!failure.hasOffset) return out + ": " + failure.message;
  out += " at " + hex8(failure.offset);
  if (const ChunkRef* chunk = failure.chunk()) {
    out += " in " + describePath(failure.path) + " (chunk at " + hex8(chunk->offset) + ")";
  }
  return out + ": " + failure.message;
}

namespace {

void appendJsonField(std::string& out, const char* key, std::string_view bytes) {
  out += '"';
  out += key;
  out += "\":\"";
  appendJsonString(out, bytes);
  out += '"';
}

}  // namespace

void appendJson(std::string& out, const ChunkRef& chunk) {
  out += "{\"offset\":" + std::to_string(chunk.offset);
  out += ",\"code\":" + std::to_string(chunk.code) + ",";
  appendJsonField(out, "name", chunk.name);
  if (chunk.hasObjectName) {
    out += ',';
    appendJsonField(out, "objectName", chunk.objectName);
  }
  out += '}';
}

void appendJson(std::string& out, const LoadFailure& failure) {
  out += '{';
  appendJsonField(out, "cause", causeName(failure.cause));
  out += ",\"offset\":";
  out += failure.hasOffset ? std::to_string(failure.offset) : "null";
  out += ',';
  appendJsonField(out, "message", failure.message);
  out += ",\"chunk\":";
  if (const ChunkRef* chunk = failure.chunk()) {
    appendJson(out, *chunk);
  } else {
    out += "null";
  }
  out += ",\"path\":[";
  for (std::size_t i = 0; i < failure.path.size(); ++i) {
    if (i != 0) out += ',';
    appendJson(out, failure.path[i]);
  }
  out += "]}";
}

}  // namespace kxm
