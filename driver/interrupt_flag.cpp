#include "driver/interrupt_flag.h"

#include <signal.h>

#include "io/temp_registry.h"

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

std::atomic<bool> gRequested{false};
std::atomic<int> gSignal{0};
std::atomic<bool> gStopNow{false};
struct sigaction gOld[kSignalCount];
bool gInstalled[kSignalCount] = {};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the handler may only touch lock-free atomics");

void OnSignal(int signal) {
  int none = 0;
  if (gSignal.compare_exchange_strong(none, signal)) {
    gRequested.store(true);
    return;
  }
  // A second signal: no temporary file outlives it, and none can be created
  // after it. Only the call that removed them says so, once they are gone.
  if (RemoveRegisteredFiles()) gStopNow.store(true);
}

}  // namespace

const std::atomic<bool>& InterruptRequested() { return gRequested; }

int InterruptSignal() { return gSignal.load(); }

bool StopAtOnceRequested() { return gStopNow.load(); }

void InstallInterruptHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // One handler at a time: the second signal finds the first one recorded.
  for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < kSignalCount; ++i) {
    gInstalled[i] = false;
    if (sigaction(kSignals[i], nullptr, &gOld[i]) != 0 || gOld[i].sa_handler == SIG_IGN) continue;
    gInstalled[i] = sigaction(kSignals[i], &action, nullptr) == 0;
  }
}

void RestoreInterruptHandlers() {
  for (int i = 0; i < kSignalCount; ++i) {
    if (gInstalled[i]) sigaction(kSignals[i], &gOld[i], nullptr);
    gInstalled[i] = false;
  }
}
