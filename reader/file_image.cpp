#include "reader/file_image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "files/paths.h"
#include "reader/byte_cursor.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kxm {

namespace {

// The size of an open file in bytes, or -1. Measured with 64-bit offsets, so a file of 4 GiB or
// more is seen as such and refused rather than taken for a small one.
std::int64_t measureFile(std::FILE* file) {
#if defined(_WIN32)
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  const std::int64_t length = _ftelli64(file);
  if (_fseeki64(file, 0, SEEK_SET) != 0) return -1;
#else
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  const std::int64_t length = ftello(file);
  if (fseeko(file, 0, SEEK_SET) != 0) return -1;
#endif
  return length;
}

// Opens the file for reading when it is a regular file, null otherwise (errno 0 when it is there
// but something else). What was a file when it was looked at may have been replaced since: the
// open does not wait for a FIFO's writer, and the check is made again on what was opened.
std::FILE* openRegular(const std::filesystem::path& path) {
#if defined(_WIN32)
  return _wfopen(path.c_str(), L"rb");
#else
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = 0;
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) ::close(fd);
  return file;
#endif
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

bool fileFailure(LoadFailure& failure, FailureCause cause, std::string message) {
  failure.cause = cause;
  failure.hasOffset = false;
  failure.offset = 0;
  failure.message = std::move(message);
  failure.path.clear();
  return false;
}

}  // namespace

bool FileImage::read(const char* path, LoadFailure& failure, const BlockSource& blocks) {
  release();
  if (path == nullptr) return fileFailure(failure, FailureCause::FileNotFound, "no path given");
  // The path is UTF-8 text; on Windows a long one is opened past MAX_PATH.
  const std::filesystem::path file = files::longPathForm(files::pathFromText(path));
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  if (!std::filesystem::exists(status)) {
    if (!error) error = std::make_error_code(std::errc::no_such_file_or_directory);
    const bool missing =
        error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
    // The portable words for a missing file, the same on every system.
    if (missing) error = std::make_error_code(std::errc::no_such_file_or_directory);
    return fileFailure(failure, missing ? FailureCause::FileNotFound : FailureCause::ReadError,
                       error.message());
  }
  if (!std::filesystem::is_regular_file(status)) {
    return fileFailure(failure, FailureCause::NotAFile,
                       std::filesystem::is_directory(status)
                           ? std::make_error_code(std::errc::is_a_directory).message()
                           : "Not a regular file");
  }

  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> opened(openRegular(file));
  if (!opened) {
    if (errno == 0) return fileFailure(failure, FailureCause::NotAFile, "Not a regular file");
    return fileFailure(failure, FailureCause::ReadError, std::strerror(errno));
  }
  const std::int64_t length = measureFile(opened.get());
  if (length < 0) {
    return fileFailure(failure, FailureCause::ReadError, "its size cannot be measured");
  }
  if (length > std::int64_t{kOffsetLimit}) {
    return fileFailure(failure, FailureCause::FileTooLarge,
                       std::to_string(length) + " bytes, more than 4294967295");
  }
  const auto bytes = static_cast<std::size_t>(length);
  if (!block_.allocate(bytes, blocks)) {
    return fileFailure(failure, FailureCause::OutOfMemory,
                       "no memory for an image of " + std::to_string(bytes) + " bytes");
  }
  const std::size_t got = std::fread(block_.get(), 1, bytes, opened.get());
  if (got != bytes) {
    release();
    return fileFailure(
        failure, FailureCause::ReadError,
        "read " + std::to_string(got) + " of its " + std::to_string(bytes) + " bytes");
  }
  size_ = static_cast<std::uint32_t>(length);
  return true;
}

}  // namespace kxm
