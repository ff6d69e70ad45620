#include "model/block.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

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

void preferHugePages(const void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
  if (data != nullptr && end > first)
    madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  static_cast<void>(data);
  static_cast<void>(bytes);
#endif
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
