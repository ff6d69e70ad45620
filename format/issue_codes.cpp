#include "format/issue_codes.h"

#include <array>
#include <cstddef>

namespace kxm {

namespace {

using enum IssueCode;
constexpr Severity kWarning = Severity::Warning;
constexpr Severity kNote = Severity::Note;

constexpr std::array kKinds = {
    IssueKind{ChunkPastParent, "chunk-past-parent", kWarning,
              "its payload of N bytes ends at E, past the end of the chunk that holds it at P"},
    IssueKind{UnknownChunk, "unknown-chunk", kWarning, "code C has no name; passed over"},
    IssueKind{MisplacedChunk, "misplaced-chunk", kWarning,
              "NAME (C) does not belong here; passed over"},
    IssueKind{ValueSizeMismatch, "value-size-mismatch", kWarning,
              "its length field says L bytes, its value takes N"},
    IssueKind{NameTooLong, "name-too-long", kWarning,
              "WHAT of N bytes is skipped: names hold at most 127"},
    IssueKind{DataWithoutCount, "data-without-count", kWarning,
              "WHAT with no count chunk before it: nothing is stored"},
    IssueKind{ListCountMismatch, "list-count-mismatch", kWarning,
              "its count is N, but it holds M elements"},
    IssueKind{MissingEnd, "missing-end", kWarning, "the WHAT ends without an END chunk"},
    IssueKind{DataSizeMismatch, "data-size-mismatch", kWarning,
              "its length field says L bytes; N WHAT of S bytes take T"},
    IssueKind{StrideTooSmall, "stride-too-small", kWarning,
              "the vertex size (stride) is S, but the format's components take N bytes"},
    IssueKind{IndexOutOfRange, "index-out-of-range", kWarning,
              "N indices refer to vertices past the mesh's V (first: I)"},
    IssueKind{RangeOutOfBounds, "range-out-of-bounds", kWarning,
              "WHAT A to B lie past the mesh's N WHAT"},
    IssueKind{BoneVertexOutOfRange, "bone-vertex-out-of-range", kWarning,
              "vertex index I (entry K) is past the mesh's N vertices"},
    IssueKind{BoneWeightsMismatch, "bone-weights-mismatch", kWarning,
              "N weights for M vertex indices"},
    IssueKind{NonFiniteFloat, "non-finite-float", kWarning, "WHAT value I is NaN"},
    IssueKind{KeyTimesNotIncreasing, "key-times-not-increasing", kWarning,
              "key I at time T does not come after key J at U"},
    IssueKind{RotationNotUnit, "rotation-not-unit", kWarning, "rotation key I has length L, not 1"},
    IssueKind{TextureMissing, "texture-missing", kWarning,
              "texture \"NAME\": no such image beside the model or in a texture folder; not "
              "referenced"},
    IssueKind{TextureUnreadable, "texture-unreadable", kWarning,
              "texture \"NAME\": FILE cannot be read: WHY; not referenced"},
    IssueKind{TextureConverted, "texture-converted", kNote,
              "texture \"NAME\": FILE (KIND, W x H, converted to PNG)"},
    IssueKind{TextureSubstituted, "texture-substituted", kWarning,
              "texture \"NAME\": not found; FILE stands in"},
    IssueKind{TextureUnused, "texture-unused", kWarning,
              "WHAT: has a texture but no texture coordinates; the texture is not applied"},
    IssueKind{NormalInvalid, "normal-invalid", kWarning,
              "WHAT: N normals of length 0 or not finite; written as (0, 1, 0)"},
    IssueKind{IndicesDropped, "indices-dropped", kWarning, "WHAT: N elements ...; left out"},
    IssueKind{MeshDropped, "mesh-dropped", kWarning, "WHAT: ...; the mesh is left out"},
    IssueKind{NumberRepaired, "number-repaired", kWarning,
              "WHAT: N numbers not finite; written as 0"},
    IssueKind{TransformApproximated, "transform-approximated", kWarning,
              "WHAT: its matrix is not a translation, rotation and scale; written as the nearest"},
    IssueKind{TransformDropped, "transform-dropped", kWarning,
              "WHAT: its transform cannot be written; left out"},
    IssueKind{BoneDropped, "bone-dropped", kWarning, "WHAT: bone \"NAME\" names no frame; ..."},
    IssueKind{
        KeysSorted, "keys-sorted", kWarning,
        "WHAT: key times do not strictly increase; sorted, of keys at one time the last kept"},
    IssueKind{KeysDropped, "keys-dropped", kWarning,
              "WHAT: N keys with numbers that are not finite; left out"},
    IssueKind{AnimationDropped, "animation-dropped", kWarning, "WHAT: names no frame; left out"},
    IssueKind{SceneEmpty, "scene-empty", kWarning,
              "the model has nothing to draw; the scene is empty"},
    IssueKind{PartLeftOut, "part-left-out", kWarning, "WHAT: cut off at O; left out"},
    IssueKind{PartCutShort, "part-cut-short", kWarning,
              "WHAT: cut off at O; kept with what was read before"},
    IssueKind{WrittenAnew, "written-anew", kWarning, "CODE: MESSAGE; written anew"},
    IssueKind{ImportLeftOut, "import-left-out", kWarning,
              "WHAT: the model has no place for it; left out"},
    IssueKind{TexCoordSetsDropped, "texcoord-sets-dropped", kWarning,
              "WHAT: N texture coordinate sets past the two a vertex holds; left out"},
    IssueKind{InfluencesDropped, "influences-dropped", kWarning,
              "WHAT: joint influences past the first four of a vertex; left out"},
    IssueKind{KeysSampled, "keys-sampled", kWarning,
              "WHAT: cubic spline keys kept as their values at the key times"},
    IssueKind{TextureKept, "texture-kept", kWarning,
              "image I: WHY; written as FILE, or not written"},
    IssueKind{ExtrasIgnored, "extras-ignored", kWarning,
              "WHERE: kxm extras WHY; ignored, the glTF's own data used"},
};

constexpr bool inCodeOrder() {
  for (std::size_t i = 0; i < kKinds.size(); ++i) {
    if (static_cast<std::size_t>(kKinds[i].code) != i) return false;
  }
  return true;
}
static_assert(inCodeOrder(), "one row per code, in the order of IssueCode");
static_assert(kKinds.size() == static_cast<std::size_t>(ExtrasIgnored) + 1);

constexpr std::array<std::string_view, 3> kSeverityNames = {"error", "warning", "note"};

}  // namespace

std::string_view severityName(Severity severity) {
  return kSeverityNames[static_cast<std::size_t>(severity)];
}

bool severityNamed(std::string_view name, Severity& severity) {
  for (std::size_t i = 0; i < kSeverityNames.size(); ++i) {
    if (kSeverityNames[i] == name) {
      severity = static_cast<Severity>(i);
      return true;
    }
  }
  return false;
}

std::span<const IssueKind> issueKinds() {
  return kKinds;
}

const IssueKind& issueKind(IssueCode code) {
  return kKinds[static_cast<std::size_t>(code)];
}

bool settledByWriting(IssueCode code) {
  switch (code) {
    case IssueCode::ChunkPastParent:
    case IssueCode::UnknownChunk:
    case IssueCode::MisplacedChunk:
    case IssueCode::ValueSizeMismatch:
    case IssueCode::NameTooLong:
    case IssueCode::DataWithoutCount:
    case IssueCode::ListCountMismatch:
    case IssueCode::MissingEnd:
    case IssueCode::DataSizeMismatch:
    case IssueCode::StrideTooSmall: return true;
    default: return false;
  }
}

}  // namespace kxm
