#include "model/model.h"

#include <cstring>

namespace kxm {

Frame* Model::addFrame(std::int32_t parentIndex) {
  Frame* frame = frames.append();
  if (frame == nullptr) return nullptr;
  std::memcpy(frame->name, "NoName", sizeof "NoName");
  frame->parentIndex = parentIndex;
  return frame;
}

AnimationSet* Model::addAnimationSet() {
  return animationSets.append();
}

void Model::clearModel() {
  frames.clear();
  animationSets.clear();
  customData.clear();
  customData.shrink_to_fit();
}

}  // namespace kxm
