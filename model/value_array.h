// An owned array of plain values, allocated whole at a count that the file gave.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "model/block.h"

namespace kxm {

template <class T>
class ValueArray {
  static_assert(std::is_trivially_copyable_v<T>, "values are zero-filled, never constructed");

 public:
  ValueArray() = default;
  ValueArray(const ValueArray&) = delete;
  ValueArray& operator=(const ValueArray&) = delete;
  ValueArray(ValueArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        count_(std::exchange(other.count_, 0)),
        source_(other.source_) {}
  ~ValueArray() { release(); }

  std::int32_t count() const { return count_; }
  bool empty() const { return count_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T* begin() { return data_; }
  T* end() { return data_ + count_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + count_; }

  // A count of 0 or below (2^31 or more as unsigned) fails and leaves the array as it was.
  // Otherwise the old array goes and n zero-filled entries take its place; when memory runs out
  // the array is left absent with count 0. The block comes from `source` and goes back to it.
  [[nodiscard]] int allocate(std::int32_t n, const BlockSource& source = systemBlocks()) {
    if (n <= 0) return 0;
    release();
    const auto entries = static_cast<std::size_t>(n);
    if (entries > SIZE_MAX / sizeof(T)) return 0;
    // A large block comes zeroed from the system without a pass of its own, and a million
    // vertices are then written once, not twice.
    data_ = static_cast<T*>(source.allocate(entries * sizeof(T)));
    if (data_ == nullptr) return 0;
    source_ = &source;
    count_ = n;
    return 1;
  }

  void release() {
    if (data_ != nullptr) source_->release(data_, static_cast<std::size_t>(count_) * sizeof(T));
    data_ = nullptr;
    count_ = 0;
  }

 private:
  T* data_ = nullptr;
  std::int32_t count_ = 0;
  const BlockSource* source_ = nullptr;
};

}  // namespace kxm
