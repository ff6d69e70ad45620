// An owned array of plain values, allocated whole at a count that the file gave.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <type_traits>

namespace kxm {

template <class T>
class ValueArray {
 public:
  std::int32_t count() const { return count_; }
  bool empty() const { return count_ == 0; }
  T* data() { return data_.get(); }
  const T* data() const { return data_.get(); }
  T& operator[](std::size_t i) { return data_.get()[i]; }
  const T& operator[](std::size_t i) const { return data_.get()[i]; }

  // A count of 0 or below (2^31 or more as unsigned) fails and leaves the array as it was.
  // Otherwise the old array goes and n zero-filled entries take its place; when memory runs out
  // the array is left absent with count 0.
  int allocate(std::int32_t n) {
    if (n <= 0) return 0;
    release();
    const auto entries = static_cast<std::size_t>(n);
    if (entries > SIZE_MAX / sizeof(T)) return 0;
    // calloc: a large block comes zeroed from the system without a pass of its own, and a
    // million vertices are then written once, not twice.
    data_.reset(static_cast<T*>(std::calloc(entries, sizeof(T))));
    if (!data_) return 0;
    count_ = n;
    return 1;
  }

  void release() {
    data_.reset();
    count_ = 0;
  }

 private:
  static_assert(std::is_trivially_copyable_v<T>, "values are zero-filled, never constructed");
  struct Free {
    void operator()(T* p) const { std::free(p); }
  };
  std::unique_ptr<T, Free> data_;
  std::int32_t count_ = 0;
};

}  // namespace kxm
