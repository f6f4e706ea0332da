#include <signal.h>

#include <csignal>

#include "driver/run_tool.h"
#include "io/temp_registry.h"

namespace {

void OnTerminatingSignal(int signal) { RemoveRegisteredFilesAndExit(signal, "Interrupted\n"); }

// SIGINT, SIGTERM and SIGHUP remove the run's temporary files, say
// "Interrupted" on standard error and end the run with 128 + the signal
// (io/temp_registry.h); a batch puts handlers of its own in place while it
// runs. A signal the tool was started with ignored (nohup, a background job)
// stays ignored.
void RemoveTemporariesOnSignals() {
  struct sigaction action = {};
  action.sa_handler = OnTerminatingSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction before = {};
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Exceeding the file size limit becomes a write error that is reported,
  // instead of a signal that ends the run without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  RemoveTemporariesOnSignals();
  return RunTamberlo(argc, argv);
}
