// What is wrong in a file that loads: the walk reports each finding, at the place it concerns, to
// an observer it is handed. Whether it is printed, counted or turned into JSON is the
// observer's business; a walk with no observer computes none of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reader/load_failure.h"

namespace kxm {

// The codes are part of kxm check's interface: their names never change.
enum class FindingCode {
  ChunkPastParent,        // a payload ends past the end of the chunk (or file) that holds it
  UnknownChunk,           // a code with no catalogue name
  MisplacedChunk,         // a catalogued code the enclosing walker does not handle
  ValueSizeMismatch,      // a value or fixed-size chunk's length differs from what is read
  NameTooLong,            // a string of 128 bytes or more, skipped
  DataWithoutCount,       // array or list data with no count chunk before it
  ListCountMismatch,      // an element list's count differs from the elements it holds
  MissingEnd,             // a payload that ends without an END chunk
  DataSizeMismatch,       // vertex, index or key data whose length differs from count x size
  StrideTooSmall,         // a vertex stride of 0 or less, or below its components
  IndexOutOfRange,        // mesh indices at or past the mesh's vertex count
  RangeOutOfBounds,       // a multi-material or texture range past the mesh's indices
  BoneVertexOutOfRange,   // a bone's vertex index at or past the mesh's vertex count
  BoneWeightsMismatch,    // a bone whose weight count differs from its vertex count
  NonFiniteFloat,         // NaN or infinity in a value
  KeyTimesNotIncreasing,  // an animation track whose times do not strictly increase
  RotationNotUnit,        // a rotation key that is not a unit quaternion
};

std::string_view findingName(FindingCode code);

struct Finding {
  FindingCode code;
  std::uint32_t offset = 0;    // what it concerns in the file
  std::vector<ChunkRef> path;  // the chunks it is in, outermost first; the last is its chunk
  std::string message;
};

class LoadObserver {
 public:
  virtual ~LoadObserver() = default;
  virtual void onFinding(Finding finding) = 0;
  // False once the observer only counts: the walk then spares itself the path and the message
  // (a hostile file may have millions of findings).
  virtual bool wantsDetail() const { return true; }
};

}  // namespace kxm
