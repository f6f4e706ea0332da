#include "driver/interrupt_flag.h"

#include <signal.h>

namespace {

std::atomic<bool> gRequested{false};
std::atomic<int> gSignal{0};
struct sigaction gOldInterrupt;
struct sigaction gOldTerminate;

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the handler may only touch lock-free atomics");

void OnSignal(int signal) {
  int none = 0;
  gSignal.compare_exchange_strong(none, signal);
  gRequested.store(true);
}

}  // namespace

const std::atomic<bool>& InterruptRequested() { return gRequested; }

int InterruptSignal() { return gSignal.load(); }

void InstallInterruptHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &gOldInterrupt);
  sigaction(SIGTERM, &action, &gOldTerminate);
}

void RestoreInterruptHandlers() {
  sigaction(SIGINT, &gOldInterrupt, nullptr);
  sigaction(SIGTERM, &gOldTerminate, nullptr);
}
