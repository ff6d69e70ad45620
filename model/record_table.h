// Tables of records that grow one append at a time.
//
// Records live in blocks that are never moved: the first blocks double in size (1, 2, 4, ...
// records) so that a table of a few records costs a few records, later blocks have a fixed size
// so that a large table never needs a copy of itself to grow. Walkers still address records by
// index, and an append costs constant time.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace kxm {

template <class T>
class RecordTable {
 public:
  RecordTable() = default;
  RecordTable(const RecordTable&) = delete;
  RecordTable& operator=(const RecordTable&) = delete;
  RecordTable(RecordTable&& other) noexcept
      : blocks_(std::move(other.blocks_)), count_(std::exchange(other.count_, 0)) {}
  RecordTable& operator=(RecordTable&& other) noexcept {
    if (this != &other) {
      clear();
      blocks_ = std::move(other.blocks_);
      count_ = std::exchange(other.count_, 0);
    }
    return *this;
  }
  ~RecordTable() { clear(); }

  std::size_t count() const { return count_; }
  bool empty() const { return count_ == 0; }

  T& operator[](std::size_t index) { return *slot(index); }
  const T& operator[](std::size_t index) const { return *slot(index); }

  // Plain iteration in index order: for (const Frame& frame : model.frames).
  template <class Table, class Record>
  class Iterator {
   public:
    Iterator(Table* table, std::size_t index) : table_(table), index_(index) {}
    Record& operator*() const { return (*table_)[index_]; }
    Record* operator->() const { return &(*table_)[index_]; }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator==(const Iterator& other) const { return index_ == other.index_; }

   private:
    Table* table_;
    std::size_t index_;
  };
  Iterator<RecordTable, T> begin() { return {this, 0}; }
  Iterator<RecordTable, T> end() { return {this, count_}; }
  Iterator<const RecordTable, const T> begin() const { return {this, 0}; }
  Iterator<const RecordTable, const T> end() const { return {this, count_}; }

  // Appends one record with the values of a new record and returns it; nullptr when memory runs
  // out, the table then being left as it was.
  T* append() {
    const Place place = locate(count_);
    if (place.block == blocks_.size()) {
      void* storage = ::operator new(blockCapacity(place.block) * sizeof(T), std::nothrow);
      if (storage == nullptr) return nullptr;
      try {
        blocks_.push_back(static_cast<T*>(storage));
      } catch (const std::bad_alloc&) {
        ::operator delete(storage);
        return nullptr;
      }
    }
    T* record = new (blocks_[place.block] + place.offset) T();
    ++count_;
    return record;
  }

  // Destroys the last record; its block stays for the next append.
  void removeLast() {
    if (count_ == 0) return;
    slot(count_ - 1)->~T();
    --count_;
  }

  // Destroys the records in index order and releases every block.
  void clear() {
    for (std::size_t i = 0; i < count_; ++i) slot(i)->~T();
    for (T* block : blocks_) ::operator delete(block);
    blocks_.clear();
    blocks_.shrink_to_fit();
    count_ = 0;
  }

 private:
  struct Place {
    std::size_t block;
    std::size_t offset;
  };

  // Blocks 0 .. kGrowingBlocks-1 hold 1, 2, 4, ... records; every later block holds kFixedBlock.
  static constexpr std::size_t kTargetBlockBytes = 16384;
  static constexpr std::size_t kGrowingBlocks =
      sizeof(T) >= kTargetBlockBytes ? 0 : std::bit_width(kTargetBlockBytes / sizeof(T)) - 1;
  static constexpr std::size_t kFixedBlock = std::size_t{1} << kGrowingBlocks;
  static constexpr std::size_t kInGrowingBlocks = kFixedBlock - 1;

  static std::size_t blockCapacity(std::size_t block) {
    return block < kGrowingBlocks ? std::size_t{1} << block : kFixedBlock;
  }

  static Place locate(std::size_t index) {
    if (index < kInGrowingBlocks) {
      const std::size_t block = std::bit_width(index + 1) - 1;
      return {block, index + 1 - (std::size_t{1} << block)};
    }
    const std::size_t rest = index - kInGrowingBlocks;
    return {kGrowingBlocks + rest / kFixedBlock, rest % kFixedBlock};
  }

  T* slot(std::size_t index) const {
    const Place place = locate(index);
    return blocks_[place.block] + place.offset;
  }

  std::vector<T*> blocks_;
  std::size_t count_ = 0;
};

// A table of mesh elements. A list chunk whose count claims more elements than its payload holds
// gives records with the values of a new record for the rest; those are kept as one run of
// defaults instead of one record each, so a count of four billion costs nothing.
template <class T>
class ElementTable {
 public:
  std::uint64_t count() const { return count_; }

  // Appends one record that its walker fills; nullptr when memory runs out.
  T* append() {
    T* record = stored_.append();
    if (record != nullptr) ++count_;
    return record;
  }

  // Appends n records with the values of a new record.
  bool appendDefaults(std::uint64_t n) {
    if (n == 0) return true;
    const std::uint64_t before = runs_.empty() ? 0 : runs_.back().defaultsThrough;
    try {
      runs_.push_back({count_, n, before + n});
    } catch (const std::bad_alloc&) {
      return false;
    }
    count_ += n;
    return true;
  }

  // Record `index` (below count()), filled or default.
  const T& at(std::uint64_t index) const {
    auto run = std::upper_bound(runs_.begin(), runs_.end(), index,
                                [](std::uint64_t i, const Run& r) { return i < r.first; });
    std::uint64_t defaultsBefore = 0;
    if (run != runs_.begin()) {
      --run;
      if (index < run->first + run->length) return defaultRecord();
      defaultsBefore = run->defaultsThrough;
    }
    return stored_[static_cast<std::size_t>(index - defaultsBefore)];
  }

  // The record that append() returned last, looked up again.
  T& lastStored() { return stored_[stored_.count() - 1]; }
  std::size_t storedCount() const { return stored_.count(); }
  // The filled records alone, in file order; the defaults between them hold nothing.
  const T& stored(std::size_t index) const { return stored_[index]; }
  T& stored(std::size_t index) { return stored_[index]; }

  void clear() {
    stored_.clear();
    runs_.clear();
    runs_.shrink_to_fit();
    count_ = 0;
  }

 private:
  struct Run {
    std::uint64_t first;            // index of the run's first record
    std::uint64_t length;           // records in the run
    std::uint64_t defaultsThrough;  // default records up to the end of this run
  };

  static const T& defaultRecord() {
    static const T record{};
    return record;
  }

  RecordTable<T> stored_;
  std::vector<Run> runs_;
  std::uint64_t count_ = 0;
};

}  // namespace kxm
