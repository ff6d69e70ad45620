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

BlockSource& currentSource() {
  static BlockSource source{callocBlock, freeBlock};
  return source;
}

}  // namespace

BlockSource setBlockSource(const BlockSource& source) {
  return std::exchange(currentSource(), source);
}

void* allocateBlock(std::size_t bytes) {
  return currentSource().allocate(bytes == 0 ? 1 : bytes);
}

void releaseBlock(void* block, std::size_t bytes) {
  if (block != nullptr) currentSource().release(block, bytes == 0 ? 1 : bytes);
}

bool Block::allocate(std::size_t bytes) {
  reset();
  data_ = allocateBlock(bytes);
  bytes_ = data_ != nullptr ? bytes : 0;
  return data_ != nullptr;
}

void Block::reset() {
  releaseBlock(data_, bytes_);
  data_ = nullptr;
  bytes_ = 0;
}

}  // namespace kxm
