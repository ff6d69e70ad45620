#include "cli/file_runner.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace kxm {

Tally& Tally::operator+=(const Tally& other) {
  files += other.files;
  loaded += other.loaded;
  failed += other.failed;
  withWarnings += other.withWarnings;
  errors += other.errors;
  warnings += other.warnings;
  failedRun = failedRun || other.failedRun;
  return *this;
}

unsigned machineCores() {
  return std::max(1u, std::thread::hardware_concurrency());
}

namespace {

using Clock = std::chrono::steady_clock;

// One line on stderr, redrawn in place and erased before anything else is written there; only
// on a terminal, and only once a run has taken about a second.
class Progress {
 public:
  Progress(bool wanted, std::size_t total) : total_(total), start_(Clock::now()) {
#if defined(_WIN32)
    enabled_ = wanted && _isatty(_fileno(stderr));
    stdoutTerminal_ = _isatty(_fileno(stdout));
#else
    enabled_ = wanted && isatty(fileno(stderr));
    stdoutTerminal_ = isatty(fileno(stdout));
    winsize size{};
    if (enabled_ && ioctl(fileno(stderr), TIOCGWINSZ, &size) == 0 && size.ws_col > 20) {
      width_ = size.ws_col;
    }
#endif
  }
  ~Progress() { clear(); }

  // Draws the line, at most ten times a second.
  void show(std::size_t done, const std::string& current) {
    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - start_).count();
    if (!enabled_ || seconds < 1.0) return;
    if (now - drawn_ < std::chrono::milliseconds(100)) return;
    drawn_ = now;
    char head[64];
    std::snprintf(head, sizeof head, "%zu of %zu files, %.0f s: ", done, total_, seconds);
    std::string line = head;
    const std::size_t room = width_ - 1 > line.size() ? width_ - 1 - line.size() : 0;
    // The end of a long path says more than its start.
    line += current.size() <= room ? current : "..." + current.substr(current.size() - room + 3);
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    shown_ = true;
  }
  bool sharesStdout() const { return stdoutTerminal_; }
  void clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
  }

 private:
  bool enabled_ = false;
  bool shown_ = false;
  bool stdoutTerminal_ = false;
  std::size_t width_ = 80;
  std::size_t total_;
  Clock::time_point start_;
  Clock::time_point drawn_;
};

// What a file that ran out of memory comes to; the line itself is small enough to be had.
Tally outOfMemoryFor(const Input& input, Output& err) {
  err.write(input.shown + ": error: out of memory [out-of-memory]\n");
  Tally failed;
  failed.files = failed.failed = failed.errors = 1;
  failed.failedRun = true;
  return failed;
}

struct Slot {
  Output out, err;
  Tally tally;
  bool done = false;
};

}  // namespace

Tally runOverInputs(const std::vector<Input>& inputs, const RunSettings& settings,
                    const FileWork& work, Output& out, Output& err) {
  Tally total;
  // What memory a file's output needs is not known before it is made: running out of it fails
  // that file, not the run.
  auto safely = [&work](std::size_t i, const Input& input, Output& o, Output& e) {
    try {
      return work(i, input, o, e);
    } catch (const std::bad_alloc&) {
      o.text().clear();  // half a file's report would read as a whole one
      return outOfMemoryFor(input, e);
    }
  };
  auto oneByOne = [&] {
    for (std::size_t i = 0; i < inputs.size(); ++i) total += safely(i, inputs[i], out, err);
    return total;
  };
  if (inputs.size() == 1) return oneByOne();  // nothing to order or show progress of
  // More threads than this only queue for the same cores and disk.
  constexpr std::size_t kMostWorkers = 256;
  const std::size_t workers =
      std::min({std::size_t{std::max(1u, settings.jobs)}, inputs.size(), kMostWorkers});
  std::vector<std::unique_ptr<Slot>> slots(inputs.size());
  std::vector<char> outOfMemory(inputs.size(), 0);  // files whose slot could not be had
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t next = 0;     // the next file a worker takes
  std::size_t emitted = 0;  // files written out so far

  auto worker = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      // A worker runs at most `workers` files ahead of what is written, so that no more
      // results, and no more models, are held than there are workers.
      changed.wait(lock, [&] { return next >= inputs.size() || next < emitted + workers; });
      if (next >= inputs.size()) return;
      const std::size_t index = next++;
      lock.unlock();
      std::unique_ptr<Slot> slot;
      try {
        slot = std::make_unique<Slot>();
        slot->tally = safely(index, inputs[index], slot->out, slot->err);
        slot->done = true;
      } catch (const std::bad_alloc&) {
        slot.reset();  // not even its slot fits: the writer says so when the file's turn comes
      }
      lock.lock();
      if (slot) {
        slots[index] = std::move(slot);
      } else {
        outOfMemory[index] = 1;
      }
      changed.notify_all();
    }
  };
  std::vector<std::thread> threads;
  try {
    for (std::size_t i = 0; i < workers; ++i) threads.emplace_back(worker);
  } catch (const std::system_error&) {
    // The system gave fewer threads than asked for; those it gave do the work.
  }
  if (threads.empty()) return oneByOne();

  Progress progress(settings.progress, inputs.size());
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (emitted < inputs.size()) {
      if (!changed.wait_for(lock, std::chrono::milliseconds(100), [&] {
            return (slots[emitted] && slots[emitted]->done) || outOfMemory[emitted] != 0;
          })) {
        progress.show(emitted, inputs[emitted].shown);
        continue;
      }
      std::unique_ptr<Slot> slot = std::move(slots[emitted]);
      lock.unlock();
      if (!slot) {
        progress.clear();
        const Tally failed = outOfMemoryFor(inputs[emitted], err);
        total += failed;
        lock.lock();
        ++emitted;
        changed.notify_all();
        continue;
      }
      // The line goes before text that would land on it: on stderr, or on stdout at a terminal.
      if (!slot->err.text().empty() || (!slot->out.text().empty() && progress.sharesStdout())) {
        progress.clear();
      }
      out.write(slot->out.text());
      err.write(slot->err.text());
      total += slot->tally;
      slot.reset();
      lock.lock();
      ++emitted;
      changed.notify_all();
      if (emitted < inputs.size()) progress.show(emitted, inputs[emitted].shown);
    }
  }
  for (std::thread& thread : threads) thread.join();
  return total;
}

}  // namespace kxm
