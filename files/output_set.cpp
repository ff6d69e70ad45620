#include "files/output_set.h"
#include "files/paths.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <streambuf>
#include <system_error>

#include "files/temporaries.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kxm::files {

namespace fs = std::filesystem;

namespace {

std::error_code lastError() {
#if defined(_WIN32)
  return {static_cast<int>(GetLastError()), std::system_category()};
#else
  return {errno, std::generic_category()};
#endif
}

// ".kxm-" and eight hexadecimal digits that no other process or thread is likely to draw.
fs::path temporaryName() {
  thread_local std::mt19937_64 engine = [] {
    std::seed_seq seed{
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()),
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()),
        static_cast<std::uint64_t>(std::random_device{}())};
    return std::mt19937_64(seed);
  }();
  char name[32];
  std::snprintf(name, sizeof name, "%s%08x%s", kTemporaryPrefix,
                static_cast<unsigned>(engine() & 0xFFFFFFFFu), kTemporarySuffix);
  return name;
}

// A file opened for writing that was not there before, written through a buffer of our own.
class NewFile final : public std::streambuf {
 public:
  NewFile() { setp(buffer_.data(), buffer_.data() + buffer_.size()); }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  ~NewFile() override { close(); }

  // Makes the file; false (with `error`) when anything is at `path`, a link above all.
  bool create(const fs::path& path) {
#if defined(_WIN32)
    handle_ = CreateFileW(longPathForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) error_ = lastError();
    return handle_ != INVALID_HANDLE_VALUE;
#else
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0) error_ = lastError();
    return fd_ >= 0;
#endif
  }
  bool exists() const {
    return error_ == std::errc::file_exists;
  }

  // Writes what is buffered and flushes the file to disk, then closes it.
  bool finish() {
    bool ok = flushBuffer();
#if defined(_WIN32)
    if (ok && !FlushFileBuffers(handle_)) ok = fail();
#else
    if (ok && ::fsync(fd_) != 0) ok = fail();
#endif
    return close() && ok;
  }
  std::error_code error() const {
    return error_;
  }

 protected:
  int_type overflow(int_type c) override {
    if (!flushBuffer()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) sputc(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
  }
  int sync() override {
    return flushBuffer() ? 0 : -1;
  }

 private:
  bool fail() {
    if (!error_) error_ = lastError();
    return false;
  }
  bool writeAll(const char* data, std::size_t size) {
    while (size > 0) {
#if defined(_WIN32)
      DWORD wrote = 0;
      const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
      if (!WriteFile(handle_, data, piece, &wrote, nullptr)) return fail();
#else
      const ssize_t wrote = ::write(fd_, data, size);
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) return fail();
#endif
      data += wrote;
      size -= static_cast<std::size_t>(wrote);
    }
    return true;
  }
  bool flushBuffer() {
    if (error_) return false;
    const bool ok = writeAll(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return ok;
  }
  bool close() {
#if defined(_WIN32)
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const bool ok = CloseHandle(handle_) != 0 || fail();
    handle_ = INVALID_HANDLE_VALUE;
#else
    if (fd_ < 0) return true;
    const bool ok = ::close(fd_) == 0 || fail();
    fd_ = -1;
#endif
    return ok;
  }

  std::array<char, 1 << 16> buffer_;
  std::error_code error_;
#if defined(_WIN32)
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
  int fd_ = -1;
#endif
};

// Renames in one step, replacing the target when it is a file; the target stays as it was when
// the rename fails.
bool replace(const fs::path& from, const fs::path& to, std::error_code& error) {
#if defined(_WIN32)
  if (MoveFileExW(longPathForm(from).c_str(), longPathForm(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
#else
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
#endif
  error = lastError();
  return false;
}

// Makes a new name durable: the folder's entry is flushed too, where the system allows it.
void flushFolder(const fs::path& folder) {
#if !defined(_WIN32)
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
#else
  (void)folder;
#endif
}

std::string cannotWrite(const fs::path& target, const std::string& reason) {
  return "cannot write " + textFromPath(target) + ": " + reason;
}

}  // namespace

std::string outputRefusal(const fs::path& target) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(target, error);
  if (error) return error == std::errc::no_such_file_or_directory ? "" : error.message();
  switch (status.type()) {
    case fs::file_type::directory: return std::make_error_code(std::errc::is_a_directory).message();
    case fs::file_type::fifo: return "is a FIFO, not a file";
    case fs::file_type::socket: return "is a socket, not a file";
    case fs::file_type::block:
    case fs::file_type::character: return "is a device, not a file";
    default: return "";
  }
}

bool OutputSet::makeFolder(const fs::path& folder, std::string& error) {
  std::error_code failed;
  if (fs::is_directory(folder, failed)) return true;
  if (!fs::create_directory(folder, failed)) {
    error = "cannot make " + textFromPath(folder) + ": " +
            (failed ? failed.message() : outputRefusal(folder));
    return false;
  }
  madeFolders_.push_back(folder);
  return true;
}

bool OutputSet::stage(const fs::path& target, std::string& error,
                      const std::function<void(std::ostream&)>& fill) {
  const fs::path folder = target.parent_path();
  NewFile file;
  fs::path temporary;
  std::uint64_t token = 0;
  for (int attempt = 0; attempt < 100 && token == 0; ++attempt) {
    temporary = folder / temporaryName();
    token = createTemporary(temporary, [&] { return file.create(temporary); });
    if (token == 0 && !file.exists()) break;
  }
  if (token == 0) {
    error = cannotWrite(target, file.error().message());
    return false;
  }
  staged_.push_back({temporary, target, token});
  std::ostream out(&file);
  fill(out);
  out.flush();
  if (!file.finish() || !out) {
    error = cannotWrite(target, file.error() ? file.error().message() : "the write failed");
    return false;
  }
  return true;
}

bool OutputSet::commit(std::string& error) {
  for (const Staged& s : staged_) {
    if (const std::string refusal = outputRefusal(s.target); !refusal.empty()) {
      error = cannotWrite(s.target, refusal);
      return false;
    }
  }
  for (Staged& s : staged_) {
    std::error_code failed;
    if (!settleTemporary(s.token, [&] { return replace(s.temporary, s.target, failed); })) {
      error = cannotWrite(s.target, failed.message());
      return false;
    }
    s.token = 0;
    flushFolder(s.target.parent_path());
  }
  staged_.clear();
  madeFolders_.clear();
  return true;
}

void OutputSet::abandon() {
  for (const Staged& s : staged_) {
    if (s.token == 0) continue;
    settleTemporary(s.token, [&] {
      std::error_code ignored;
      fs::remove(s.temporary, ignored);
      return true;
    });
  }
  staged_.clear();
  std::error_code ignored;
  for (auto folder = madeFolders_.rbegin(); folder != madeFolders_.rend(); ++folder) {
    fs::remove(*folder, ignored);  // only if empty: an image committed before stays
  }
  madeFolders_.clear();
}

}  // namespace kxm::files
