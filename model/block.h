// Big zero-filled blocks: the file image and the arrays allocated at a count. They come from one
// source, which a front end may replace at start-up (kxm-dump on Linux asks for huge pages,
// since first touching a large block costs a page fault every 4 KiB); the default is calloc
// and free.
#pragma once

#include <cstddef>
#include <utility>

namespace kxm {

struct BlockSource {
  void* (*allocate)(std::size_t bytes);  // zero-filled; nullptr when memory runs out
  void (*release)(void* block, std::size_t bytes);
};

// Installs a source and gives back the one it replaces. Install it before any block is taken:
// a block goes back through the source installed when it is released.
BlockSource setBlockSource(const BlockSource& source);

// A zero-filled block of at least one byte, or nullptr; and its release, with the same size.
void* allocateBlock(std::size_t bytes);
void releaseBlock(void* block, std::size_t bytes);

// One owned block of bytes.
class Block {
 public:
  Block() = default;
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  ~Block() { reset(); }

  // Replaces the block by a zero-filled one of `bytes` bytes; false when memory runs out, and
  // then no block is held.
  bool allocate(std::size_t bytes);
  void reset();

  void* get() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  void* data_ = nullptr;
  std::size_t bytes_ = 0;
};

}  // namespace kxm
