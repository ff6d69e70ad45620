#include "cli/output.h"

#include <cerrno>

namespace kxm {

bool Output::write(std::string_view bytes) {
  if (failed_) return false;
  if (file_ == nullptr) {
    text_ += bytes;
  } else if (!bytes.empty()) {
    failed_ = std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size();
    if (failed_) error_ = errno;
  }
  return !failed_;
}

}  // namespace kxm
