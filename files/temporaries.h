// The temporary files a process has on disk for its outputs, removed when the process is told to
// stop (Ctrl+C, SIGINT, SIGTERM, SIGHUP; a console's close on Windows) as well as on every
// ordinary exit. A signal is sent to a process, not to one of its objects, so what it must clean
// up is kept for the process: this is the one registry of the program, and only outputs use it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

namespace kxm::files {

// Takes the stop signals over, so that temporaries go before the process ends with the signal's
// own status. Call it at the start of main, before any thread is started: on POSIX the signals
// are then blocked in every thread and one thread of ours waits for them. Does nothing the second
// time, and nothing in the browser.
void removeTemporariesOnStop();

// Runs `create`, which makes the file at `path` (exclusively: never one that was there), and
// remembers the file when it was made; a stop cannot fall between the two. 0 when `create`
// failed, else the token of the temporary.
std::uint64_t createTemporary(const std::filesystem::path& path,
                              const std::function<bool()>& create);

// Runs `settle`, which renames the temporary into place or removes it, and forgets it: again
// with no stop between the two. Returns what `settle` returns; a temporary that `settle` did not
// move stays remembered until it is forgotten for good.
bool settleTemporary(std::uint64_t token, const std::function<bool()>& settle);
void forgetTemporary(std::uint64_t token);

}  // namespace kxm::files
