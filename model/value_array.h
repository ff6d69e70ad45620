// An owned array of plain values, allocated whole at a count that the file gave.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "model/block.h"

namespace kxm {

template <class T>
class ValueArray {
 public:
  std::int32_t count() const { return count_; }
  bool empty() const { return count_ == 0; }
  T* data() { return static_cast<T*>(data_.get()); }
  const T* data() const { return static_cast<const T*>(data_.get()); }
  T& operator[](std::size_t i) { return data()[i]; }
  const T& operator[](std::size_t i) const { return data()[i]; }

  // A count of 0 or below (2^31 or more as unsigned) fails and leaves the array as it was.
  // Otherwise the old array goes and n zero-filled entries take its place; when memory runs out
  // the array is left absent with count 0.
  int allocate(std::int32_t n) {
    if (n <= 0) return 0;
    release();
    const auto entries = static_cast<std::size_t>(n);
    if (entries > SIZE_MAX / sizeof(T)) return 0;
    // A large block comes zeroed from the system without a pass of its own, and a million
    // vertices are then written once, not twice.
    if (!data_.allocate(entries * sizeof(T))) return 0;
    count_ = n;
    return 1;
  }

  void release() {
    data_.reset();
    count_ = 0;
  }

 private:
  static_assert(std::is_trivially_copyable_v<T>, "values are zero-filled, never constructed");
  Block data_;
  std::int32_t count_ = 0;
};

}  // namespace kxm
