#include "reader/findings.h"

namespace kxm {

std::string_view findingName(FindingCode code) {
  switch (code) {
    case FindingCode::ChunkPastParent: return "chunk-past-parent";
    case FindingCode::UnknownChunk: return "unknown-chunk";
    case FindingCode::MisplacedChunk: return "misplaced-chunk";
    case FindingCode::ValueSizeMismatch: return "value-size-mismatch";
    case FindingCode::NameTooLong: return "name-too-long";
    case FindingCode::DataWithoutCount: return "data-without-count";
    case FindingCode::ListCountMismatch: return "list-count-mismatch";
    case FindingCode::MissingEnd: return "missing-end";
    case FindingCode::DataSizeMismatch: return "data-size-mismatch";
    case FindingCode::StrideTooSmall: return "stride-too-small";
    case FindingCode::IndexOutOfRange: return "index-out-of-range";
    case FindingCode::RangeOutOfBounds: return "range-out-of-bounds";
    case FindingCode::BoneVertexOutOfRange: return "bone-vertex-out-of-range";
    case FindingCode::BoneWeightsMismatch: return "bone-weights-mismatch";
    case FindingCode::NonFiniteFloat: return "non-finite-float";
    case FindingCode::KeyTimesNotIncreasing: return "key-times-not-increasing";
    case FindingCode::RotationNotUnit: return "rotation-not-unit";
  }
  return "unknown";
}

}  // namespace kxm
