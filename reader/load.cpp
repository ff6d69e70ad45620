#include "reader/load.h"

#include <string>

#include "reader/file_image.h"

namespace kxm {

LoadOutcome load(std::span<const std::uint8_t> bytes, Model& model, ChunkSink* sink,
                 LoadObserver* observer, std::optional<LoadLimits> limits,
                 const BlockSource& blocks) {
  model.clearModel();
  LoadOutcome outcome;
  if (bytes.size() > kOffsetLimit) {
    outcome.failure.cause = FailureCause::FileTooLarge;
    outcome.failure.hasOffset = false;
    outcome.failure.message = std::to_string(bytes.size()) + " bytes, more than 4294967295";
    return outcome;
  }
  const auto size = static_cast<std::uint32_t>(bytes.size());
  ChunkReader reader(bytes, model, sink, observer, limits.value_or(LoadLimits::forFileSize(size)),
                     blocks);
  outcome.loaded = reader.parseImage();
  if (!outcome.loaded) outcome.failure = reader.explainFailure();
  outcome.usage = reader.usage();
  return outcome;
}

const char* outcomeName(const LoadOutcome& outcome) {
  if (outcome.loaded) return "loaded";
  const FailureCause cause = outcome.failure.cause;
  return cause == FailureCause::FileNotFound || cause == FailureCause::NotAFile ? "missing"
                                                                                : "failed";
}

LoadOutcome load(const char* path, Model& model, ChunkSink* sink, LoadObserver* observer,
                 std::optional<LoadLimits> limits, const BlockSource& blocks) {
  model.clearModel();
  FileImage image;
  LoadOutcome outcome;
  if (image.read(path, outcome.failure, blocks)) {
    outcome = load(image.bytes(), model, sink, observer, limits, blocks);
  }
  return outcome;
}

}  // namespace kxm
