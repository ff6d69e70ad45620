// Big zero-filled blocks: the file image, the arrays allocated at a count, the dump's tree and the
// export's buffer. Each owner is handed the source its blocks come from (kxm-dump and kxm on
// Linux ask for huge pages, since first touching a large block costs a page fault every 4 KiB);
// without one, calloc and free.
#pragma once

#include <cstddef>
#include <utility>

namespace kxm {

struct BlockSource {
  void* (*allocate)(std::size_t bytes);  // zero-filled; nullptr when memory runs out
  void (*release)(void* block, std::size_t bytes);
};

// calloc and free.
const BlockSource& systemBlocks();

// Asks the system (Linux) to back a big buffer that is not a block (a vector's) with huge pages,
// before it is first touched; only a hint, and elsewhere nothing.
void preferHugePages(const void* data, std::size_t bytes);

// One owned block of bytes, given back to the source it came from.
class Block {
 public:
  Block() = default;
  Block(Block&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        bytes_(std::exchange(other.bytes_, 0)),
        source_(other.source_) {}
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  ~Block() { reset(); }

  // Replaces the block by a zero-filled one of `bytes` bytes (at least one); false when memory
  // runs out, and then no block is held.
  [[nodiscard]] bool allocate(std::size_t bytes, const BlockSource& source = systemBlocks());
  void reset();

  void* get() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  void* data_ = nullptr;
  std::size_t bytes_ = 0;
  const BlockSource* source_ = nullptr;
};

}  // namespace kxm
