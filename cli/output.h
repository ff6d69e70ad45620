// Where a command's text goes: straight to a stream (one file, or one worker), or collected so
// that files worked on side by side still come out in input order, byte for byte as one worker
// would have written them.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace kxm {

class Output {
 public:
  // Collects what is written; `text()` holds it.
  Output() = default;
  explicit Output(std::FILE* file) : file_(file) {}

  // False once a write has failed (a full disk, a closed pipe); later writes are dropped.
  bool write(std::string_view bytes);
  bool print(const std::string& text) { return write(text); }
  bool failed() const { return failed_; }
  int error() const { return error_; }  // errno of the failed write
  std::string& text() { return text_; }

 private:
  std::FILE* file_ = nullptr;
  std::string text_;
  bool failed_ = false;
  int error_ = 0;
};

}  // namespace kxm
