// Why a load failed, where, and inside which chunks: one value that every front end turns into
// its own words.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "format/chunk_catalogue.h"

namespace kxm {

enum class FailureCause {
  None,
  FileNotFound,       // no such path
  NotAFile,           // a folder or another non-regular file
  ReadError,          // the system refused to open or read it
  FileTooLarge,       // over 0xFFFFFFFF bytes
  BadHeader,          // the header's string length, magic or version
  Truncated,          // a bounded read runs past the end of the file
  CountExceedsFile,   // a count whose entries cannot fit in what is left of the file
  VertexOutsideFile,  // a vertex component outside the file
  OutOfMemory,
  MemoryLimit,     // the arrays of one load would pass 64 MiB plus 8 times the file's size
  ChunkLimit,      // one load would read more than 65,536 plus the file's size chunk heads
  NestingTooDeep,  // deeper than the tree control can hold
};

// The name a cause goes by in messages and reports: "file-not-found", "truncated", ...
std::string_view causeName(FailureCause cause);

// One chunk on the way from the top of the file to the failure.
struct ChunkRef {
  std::uint32_t offset = 0;  // of its 8-byte head
  ChunkCode code = 0;
  std::string name;        // catalogue name ("Frame ROOT" and "AnimationSet ROOT" at the top)
  std::string objectName;  // a frame's, element's, animation set's or animation's name, if read
  bool hasObjectName = false;
};

struct LoadFailure {
  FailureCause cause = FailureCause::None;
  bool hasOffset = true;     // false when the file itself could not be had
  std::uint32_t offset = 0;  // where the failed read or check began
  std::string message;       // what failed, in a person's words
  // What kxm's diagnostics say instead, where the viewers' words (which stay as they are) would
  // not tell a person what is wrong: "not a KXM file: it starts with \"\x89PNG\"". Mostly empty.
  std::string plainMessage;
  // The chunks enclosing the failure, outermost first; the last one is the chunk whose payload
  // was being read. Empty at the top level and in the header.
  std::vector<ChunkRef> path;

  explicit operator bool() const { return cause != FailureCause::None; }
  // The innermost chunk, or nullptr.
  const ChunkRef* chunk() const { return path.empty() ? nullptr : &path.back(); }
};

// "truncated at 0x0000012C in Frame ROOT \"Scene\" > Mesh Index Data (chunk at 0x00000120):
// index data needs 6 bytes, 4 are left". Files that cannot be opened: "file-not-found: No such
// file or directory". Name bytes are escaped as the dump escapes them. A path of thousands of
// chunks keeps its first and last few.
std::string describeFailure(const LoadFailure& failure);

// " > "-joined path as above, names quoted and escaped.
std::string describePath(const std::vector<ChunkRef>& path);

// The same as JSON, as every front end writes it; names keep their bytes, each as the character
// of its value. A chunk: {"offset", "code", "name", "objectName" where one was read}. A failure:
// {"cause", "offset" (null for a file that could not be had), "message", "chunk" (the
// innermost, or null), "path"}.
void appendJson(std::string& out, const ChunkRef& chunk);
void appendJson(std::string& out, const LoadFailure& failure);

}  // namespace kxm
