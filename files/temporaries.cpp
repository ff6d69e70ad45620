#include "files/temporaries.h"

#include <csignal>
#include <map>
#include <mutex>
#include <system_error>

#include "files/paths.h"

#if defined(_WIN32)
#include <windows.h>
#elif !defined(__EMSCRIPTEN__)
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>
#endif

namespace kxm::files {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::uint64_t, std::filesystem::path> live;
  std::uint64_t next = 1;
};

// Never destroyed: a stop may come while static objects are being torn down.
Registry& registry() {
  static Registry* const held = new Registry;
  return *held;
}

#if !defined(__EMSCRIPTEN__)
// Removes every temporary and keeps the registry locked for good, so that none is made after:
// the process ends next.
void removeAllForStop() {
  Registry& r = registry();
  r.mutex.lock();
  for (const auto& entry : r.live) {
    std::error_code ignored;
    std::filesystem::remove(entry.second, ignored);
  }
  r.live.clear();
}
#endif

#if defined(_WIN32)
BOOL WINAPI onConsoleStop(DWORD) {
  removeAllForStop();
  return FALSE;  // the system's own handler ends the process as it would have
}
#elif !defined(__EMSCRIPTEN__)
void waitForStop(sigset_t signals) {
  int signal = 0;
  if (sigwait(&signals, &signal) != 0) return;
  removeAllForStop();
  // Ends the process as the signal would have, so that the caller sees its status.
  std::signal(signal, SIG_DFL);
  pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
  raise(signal);
  _exit(128 + signal);
}
#endif

}  // namespace

void removeTemporariesOnStop() {
  static std::once_flag once;
  std::call_once(once, [] {
#if defined(_WIN32)
    SetConsoleCtrlHandler(onConsoleStop, TRUE);
#elif !defined(__EMSCRIPTEN__)
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return;
    try {
      std::thread(waitForStop, signals).detach();
    } catch (const std::system_error&) {
      // No thread to wait: the signals end the process as before, temporaries and all.
      pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    }
#endif
  });
}

std::uint64_t createTemporary(const std::filesystem::path& path,
                              const std::function<bool()>& create) {
  // Kept as a stop removes it: on Windows past MAX_PATH when it is that long.
  const std::filesystem::path held = longPathForm(path);
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (!create()) return 0;
  const std::uint64_t token = r.next++;
  try {
    r.live.emplace(token, held);
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(held, ignored);
    throw;
  }
  return token;
}

bool settleTemporary(std::uint64_t token, const std::function<bool()>& settle) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (!settle()) return false;
  r.live.erase(token);
  return true;
}

void forgetTemporary(std::uint64_t token) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.live.erase(token);
}

}  // namespace kxm::files
