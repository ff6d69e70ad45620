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
  notes += other.notes;
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
  ~Progress() {
    clear();
  }

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
  bool sharesStdout() const {
    return stdoutTerminal_;
  }
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

namespace {

// What memory a file's output needs is not known before it is made: running out of it fails
// that file, not the run.
Tally safely(const FileWork& work, std::size_t i, const Input& input, Output& out, Output& err) {
  try {
    return work(i, input, out, err);
  } catch (const std::bad_alloc&) {
    out.text().clear();  // half a file's report would read as a whole one
    return outOfMemoryFor(input, err);
  }
}

// Workers take the files in input order; the writer writes each file's results when its turn
// comes. A worker runs at most `workers` files ahead of what is written, so that no more
// results, and no more models, are held than there are workers.
class Pool {
 public:
  Pool(const std::vector<Input>& inputs, const FileWork& work, std::size_t workers)
      : inputs_(inputs),
        work_(work),
        workers_(workers),
        slots_(inputs.size()),
        outOfMemory_(inputs.size(), 0) {}

  void work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return next_ >= inputs_.size() || next_ < emitted_ + workers_; });
      if (next_ >= inputs_.size()) return;
      const std::size_t index = next_++;
      lock.unlock();
      std::unique_ptr<Slot> slot;
      try {
        slot = std::make_unique<Slot>();
        slot->tally = safely(work_, index, inputs_[index], slot->out, slot->err);
        slot->done = true;
      } catch (const std::bad_alloc&) {
        slot.reset();  // not even its slot fits: the writer says so when the file's turn comes
      }
      lock.lock();
      if (slot) {
        slots_[index] = std::move(slot);
      } else {
        outOfMemory_[index] = 1;
      }
      changed_.notify_all();
    }
  }

  Tally writeInOrder(Progress& progress, Output& out, Output& err) {
    Tally total;
    std::unique_lock<std::mutex> lock(mutex_);
    while (emitted_ < inputs_.size()) {
      if (!changed_.wait_for(lock, std::chrono::milliseconds(100), [&] { return ready(); })) {
        progress.show(emitted_, inputs_[emitted_].shown);
        continue;
      }
      std::unique_ptr<Slot> slot = std::move(slots_[emitted_]);
      lock.unlock();
      if (!slot) {
        progress.clear();
        total += outOfMemoryFor(inputs_[emitted_], err);
      } else {
        // The line goes before text that would land on it: on stderr, or on stdout at a
        // terminal.
        if (!slot->err.text().empty() || (!slot->out.text().empty() && progress.sharesStdout())) {
          progress.clear();
        }
        out.write(slot->out.text());
        err.write(slot->err.text());
        total += slot->tally;
        slot.reset();
      }
      lock.lock();
      ++emitted_;
      changed_.notify_all();
      if (emitted_ < inputs_.size()) progress.show(emitted_, inputs_[emitted_].shown);
    }
    return total;
  }

 private:
  bool ready() const {
    return (slots_[emitted_] && slots_[emitted_]->done) || outOfMemory_[emitted_] != 0;
  }

  const std::vector<Input>& inputs_;
  const FileWork& work_;
  const std::size_t workers_;
  std::vector<std::unique_ptr<Slot>> slots_;
  std::vector<char> outOfMemory_;  // files whose slot could not be had
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;     // the next file a worker takes
  std::size_t emitted_ = 0;  // files written out so far
};

Tally oneByOne(const std::vector<Input>& inputs, const FileWork& work, Output& out, Output& err) {
  Tally total;
  for (std::size_t i = 0; i < inputs.size(); ++i) total += safely(work, i, inputs[i], out, err);
  return total;
}

}  // namespace

Tally runOverInputs(const std::vector<Input>& inputs, const RunSettings& settings,
                    const FileWork& work, Output& out, Output& err) {
  if (inputs.size() == 1) return oneByOne(inputs, work, out, err);  // nothing to order or show
  // More threads than this only queue for the same cores and disk.
  constexpr std::size_t kMostWorkers = 256;
  const std::size_t workers =
      std::min({std::size_t{std::max(1u, settings.jobs)}, inputs.size(), kMostWorkers});
  Pool pool(inputs, work, workers);
  std::vector<std::thread> threads;
  threads.reserve(workers);  // so that only the system's refusal of a thread can stop the loop
  try {
    for (std::size_t i = 0; i < workers; ++i) threads.emplace_back([&pool] { pool.work(); });
  } catch (const std::system_error&) {
    // The system gave fewer threads than asked for; those it gave do the work.
  }
  if (threads.empty()) return oneByOne(inputs, work, out, err);
  Tally total;
  {
    Progress progress(settings.progress, inputs.size());
    total = pool.writeInOrder(progress, out, err);
  }
  for (std::thread& thread : threads) thread.join();
  return total;
}

}  // namespace kxm
