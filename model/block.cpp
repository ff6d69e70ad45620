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

Block& Block::operator=(Block&& other) noexcept {
  if (this != &other) {
    reset();
    data_ = std::exchange(other.data_, nullptr);
    bytes_ = std::exchange(other.bytes_, 0);
    source_ = other.source_;
  }
  return *this;
}

bool Block::allocate(std::size_t bytes) {
  reset();
  source_ = currentSource();
  bytes_ = bytes == 0 ? 1 : bytes;
  data_ = source_.allocate(bytes_);
  if (data_ == nullptr) bytes_ = 0;
  return data_ != nullptr;
}

void Block::reset() {
  if (data_ != nullptr) source_.release(data_, bytes_);
  data_ = nullptr;
  bytes_ = 0;
}

}  // namespace kxm
