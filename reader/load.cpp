#include "reader/load.h"

#include "reader/file_image.h"

namespace kxm {

namespace {

LoadOutcome parse(std::span<const std::uint8_t> image, ChunkTree& tree,
                  const DisplayOptions& options, Model& model, LoadObserver* observer) {
  LoadOutcome outcome;
  ChunkReader reader(image, model, tree, options, observer);
  outcome.loaded = reader.parseImage();
  if (!outcome.loaded) outcome.failure = reader.explainFailure();
  outcome.usage = reader.usage();
  return outcome;
}

}  // namespace

LoadOutcome loadFile(const char* path, ChunkTree& tree, const DisplayOptions& options, Model& model,
                     ModelUse use, LoadObserver* observer) {
  model.clearModel();
  FileImage image;
  LoadOutcome outcome;
  if (image.read(path, outcome.failure)) outcome = parse(image.bytes(), tree, options, model, observer);
  image.release();
  if (use == ModelUse::Release) model.clearModel();
  return outcome;
}

LoadOutcome loadBytes(std::span<const std::uint8_t> bytes, ChunkTree& tree,
                      const DisplayOptions& options, Model& model, ModelUse use,
                      LoadObserver* observer) {
  model.clearModel();
  LoadOutcome outcome;
  if (bytes.size() > kOffsetLimit) {
    outcome.failure.cause = FailureCause::FileTooLarge;
    outcome.failure.hasOffset = false;
    outcome.failure.message = std::to_string(bytes.size()) + " bytes, more than 4294967295";
  } else {
    outcome = parse(bytes, tree, options, model, observer);
  }
  if (use == ModelUse::Release) model.clearModel();
  return outcome;
}

}  // namespace kxm
