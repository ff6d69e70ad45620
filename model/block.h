// Big zero-filled blocks: the file image and the arrays allocated at a count. They come from one
// source, which a front end may replace (kxm-dump on Linux asks for huge pages, since first
// touching a large block costs a page fault every 4 KiB); the default is calloc and free.
#pragma once

#include <cstddef>
#include <utility>

namespace kxm {

struct BlockSource {
  void* (*allocate)(std::size_t bytes);  // zero-filled; nullptr when memory runs out
  void (*release)(void* block, std::size_t bytes);
};

// Installs a source for every block allocated from now on and gives back the one it replaces;
// blocks go back to the source they came from.
BlockSource setBlockSource(const BlockSource& source);

// One owned block of bytes.
class Block {
 public:
  Block() = default;
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  Block(Block&& other) noexcept { *this = std::move(other); }
  Block& operator=(Block&& other) noexcept;
  ~Block() { reset(); }

  // Replaces the block by a zero-filled one of `bytes` bytes (at least one); false when memory
  // runs out, and then no block is held.
  bool allocate(std::size_t bytes);
  void reset();

  void* get() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  void* data_ = nullptr;
  std::size_t bytes_ = 0;
  BlockSource source_{};
};

}  // namespace kxm
