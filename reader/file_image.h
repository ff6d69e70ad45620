// Reading a file whole into memory, apart from parsing it: the image is one block of exactly the
// file's size, read with one call.
#pragma once

#include <cstdint>
#include <span>

#include "model/block.h"
#include "reader/load_failure.h"

namespace kxm {

class FileImage {
 public:
  std::span<const std::uint8_t> bytes() const {
    return {static_cast<const std::uint8_t*>(block_.get()), size_};
  }
  // Reads the file at path (UTF-8 text on every system) whole; false with the failure said
  // (file-not-found, not-a-file, read-error, file-too-large, out-of-memory) when it cannot. The
  // image comes from `blocks`.
  bool read(const char* path, LoadFailure& failure, const BlockSource& blocks = systemBlocks());
  void release() {
    block_.reset();
    size_ = 0;
  }

 private:
  Block block_;
  std::uint32_t size_ = 0;
};

}  // namespace kxm
