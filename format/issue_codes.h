// Every issue our tools report about a file, by code: what the walk finds wrong in a file that
// loads (kxm check) and what the export leaves out or repairs (kxm export). One table gives
// each its name, its severity and the shape of its message; the names are part of the tools'
// interface and never change, and the README and the manual list them from here.
#pragma once

#include <span>
#include <string_view>

namespace kxm {

enum class IssueCode {
  // Found by the walk.
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
  // Said by the export.
  TextureMissing,         // no image for a texture name, or one outside the folders searched
  TextureUnreadable,      // an image that cannot be read, or costs more than allowed
  TextureConverted,       // an image turned into PNG, nothing lost (a note)
  TextureSubstituted,     // an image of another name or extension stands in
  TextureUnused,          // a texture on a mesh without texture coordinates
  NormalInvalid,          // a normal of length 0 or with numbers that are not finite
  IndicesDropped,         // indices or ranges that draw nothing, left out
  MeshDropped,            // a mesh that cannot be drawn, left out
  NumberRepaired,         // a number glTF cannot hold, written as the nearest it can
  TransformApproximated,  // a matrix that is not a move, turn and scale, written as the nearest
  TransformDropped,       // a transform that cannot be written, left out
  BoneDropped,            // a bone or its influences that cannot be used, left out
  KeysSorted,             // key times that do not strictly increase, sorted
  KeysDropped,            // keys that cannot be written, left out
  AnimationDropped,       // an animation or a track that has no node to move, left out
  SceneEmpty,             // a model with nothing to draw: an empty scene
  // Said by the repair.
  PartLeftOut,   // a mesh or animation set cut off, or the rest of a cut file, left out
  PartCutShort,  // a frame cut off, kept with what was read of it
  WrittenAnew,   // a finding the file written again no longer has
  // Said by the import.
  ImportLeftOut,        // cameras, lights, morph targets, extensions the model has no place for
  TexCoordSetsDropped,  // texture coordinate sets past the two a vertex holds
  InfluencesDropped,    // joint influences past the first four of a vertex
  KeysSampled,          // cubic spline keys kept as their values at the key times
  TextureKept,          // an image kept under a name of its own, or not written
  ExtrasIgnored,        // kxm export's extras that no longer fit the glTF, or are malformed
};

// As compilers have them: an error stops a file from loading or being written, a warning says
// something is wrong or was left out, a note says what was done that loses nothing. Ordered from
// the gravest, so that a minimum compares.
enum class Severity { Error, Warning, Note };

// "error", "warning", "note".
std::string_view severityName(Severity severity);
// The severity of that name, false when it names none.
bool severityNamed(std::string_view name, Severity& severity);
// Whether a finding of `severity` is shown under `least`, the least severe shown.
constexpr bool atLeast(Severity severity, Severity least) {
  return severity <= least;
}

struct IssueKind {
  IssueCode code;
  std::string_view name;  // "chunk-past-parent"
  Severity severity;
  std::string_view pattern;  // the shape of its message, for the documentation
};

// Every kind, in the order of IssueCode.
// Whether the finding is about framing, counts, lengths or places, which a file written anew
// from its model can never have; what the model itself holds (indices past the vertices, times
// out of order, numbers that are not finite) stays true of it.
bool settledByWriting(IssueCode code);

std::span<const IssueKind> issueKinds();
const IssueKind& issueKind(IssueCode code);
inline std::string_view issueName(IssueCode code) {
  return issueKind(code).name;
}

}  // namespace kxm
