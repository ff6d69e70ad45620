#include "cli/huge_page_blocks.h"

#include "model/block.h"

#if defined(__linux__)
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace kxm {

namespace {

// A block of 4 MiB or more gets a mapping of its own, aligned to 2 MiB and marked for huge
// pages: the kernel then zero-fills it 2 MiB at a fault instead of 4 KiB, and first touching the
// image and the vertex arrays is most of what a big load costs.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kHugeFrom = std::size_t{4} << 20;

std::size_t mappedSize(std::size_t bytes) {
  return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

void* allocate(std::size_t bytes) {
  if (bytes < kHugeFrom) return std::calloc(1, bytes);
  const std::size_t size = mappedSize(bytes);
  void* mapped =
      mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  // Keep the aligned part only.
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) munmap(mapped, aligned - start);
  const std::size_t tail = start + size + kHugePage - (aligned + size);
  if (tail != 0) munmap(reinterpret_cast<void*>(aligned + size), tail);
  void* block = reinterpret_cast<void*>(aligned);
  madvise(block, size, MADV_HUGEPAGE);  // only a hint: the block works without it
  return block;
}

void release(void* block, std::size_t bytes) {
  if (bytes < kHugeFrom) {
    std::free(block);
  } else {
    munmap(block, mappedSize(bytes));
  }
}

}  // namespace

const BlockSource& hugePageBlocks() {
  static constexpr BlockSource kHugePages{allocate, release};
  return kHugePages;
}

}  // namespace kxm

#else

namespace kxm {
const BlockSource& hugePageBlocks() {
  return systemBlocks();
}
}  // namespace kxm

#endif
