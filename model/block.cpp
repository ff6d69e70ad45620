#include "model/block.h"

#include <cstdlib>

namespace kxm {

namespace {

void* callocBlock(std::size_t bytes) {
  return std::calloc(1, bytes);
}
void freeBlock(void* block, std::size_t) {
  std::free(block);
}

}  // namespace

const BlockSource& systemBlocks() {
  static constexpr BlockSource kSystem{callocBlock, freeBlock};
  return kSystem;
}

bool Block::allocate(std::size_t bytes, const BlockSource& source) {
  reset();
  if (bytes == 0) bytes = 1;
  data_ = source.allocate(bytes);
  if (data_ == nullptr) return false;
  bytes_ = bytes;
  source_ = &source;
  return true;
}

void Block::reset() {
  if (data_ != nullptr) source_->release(data_, bytes_);
  data_ = nullptr;
  bytes_ = 0;
}

}  // namespace kxm
