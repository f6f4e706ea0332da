#include "io/temp_registry.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

enum SlotState : int { kFree, kCreating, kLive, kClosed };

struct Slot {
  std::atomic<int> state{kFree};
  // Written only by the thread that moved the slot from free to creating, and
  // read by the handler only after it moved the slot from live to closed.
  int folderFd = -1;
  char name[kTempNameCapacity] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only use lock-free atomics");
static_assert(std::atomic<bool>::is_always_lock_free, "the handler may only use lock-free atomics");

Slot gSlots[kTempSlotCount];
std::atomic<bool> gHandling{false};

sigset_t TerminatingSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

int ClaimSlot() {
  for (int i = 0; i < kTempSlotCount; ++i) {
    int expected = kFree;
    if (gSlots[i].state.compare_exchange_strong(expected, kCreating, std::memory_order_acquire)) return i;
  }
  return -1;
}

}  // namespace

int CreateRegisteredFile(int folderFd, const char* name, int flags, int mode, int& slot) {
  slot = -1;
  const size_t length = std::strlen(name);
  if (length >= kTempNameCapacity) {
    errno = ENAMETOOLONG;
    return -1;
  }
  // With the signals blocked on this thread, the handler runs on another one
  // and waits for the slot to settle, or after this thread is done with it.
  const sigset_t blocked = TerminatingSignals();
  sigset_t saved;
  pthread_sigmask(SIG_BLOCK, &blocked, &saved);
  int fd = -1;
  int error = 0;
  const int claimed = ClaimSlot();
  if (claimed < 0) {
    error = gHandling.load() ? ECANCELED : EMFILE;
  } else {
    Slot& s = gSlots[claimed];
    s.folderFd = folderFd;
    std::memcpy(s.name, name, length + 1);
    fd = ::openat(folderFd, name, flags | O_CREAT | O_EXCL, mode);
    error = errno;
    s.state.store(fd >= 0 ? kLive : kFree, std::memory_order_release);
    if (fd >= 0) slot = claimed;
  }
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  errno = error;
  return fd;
}

void ReleaseRegisteredFile(int& slot) {
  if (slot < 0) return;
  int expected = kLive;
  // Fails only when the handler has closed the slot; it then removes a name
  // that no longer exists, or the file that is still there.
  gSlots[slot].state.compare_exchange_strong(expected, kFree, std::memory_order_release);
  slot = -1;
}

bool RemoveRegisteredFiles() {
  // One call does the work.
  if (gHandling.exchange(true)) return false;
  for (Slot& s : gSlots) {
    int state = s.state.load(std::memory_order_acquire);
    while (state != kClosed) {
      if (state == kCreating) {
        // Another thread with the signals blocked is inside openat; it marks
        // the slot live or free next.
        state = s.state.load(std::memory_order_acquire);
        continue;
      }
      if (s.state.compare_exchange_weak(state, kClosed, std::memory_order_acq_rel)) {
        if (state == kLive) ::unlinkat(s.folderFd, s.name, 0);
        break;
      }
    }
  }
  return true;
}

void RemoveRegisteredFilesAndExit(int signal, const char* line) {
  if (!RemoveRegisteredFiles()) {
    for (;;) ::pause();
  }
  if (line != nullptr) {
    // Said once; nothing to do if standard error is gone.
    ssize_t ignored = ::write(STDERR_FILENO, line, std::strlen(line));
    (void)ignored;
  }
  ::_exit(128 + signal);
}
