// SIGINT (Ctrl-C), SIGTERM and SIGHUP during a batch. The first asks the batch
// to start no more models and to finish the ones in progress; the handler only
// records it, and the batch checks the flag between models. The second asks it
// to stop at once: the handler removes the temporary files (io/temp_registry.h)
// and records it; the batch then writes its report and ends without waiting.
#pragma once

#include <atomic>

// Set by the first signal; read anywhere.
const std::atomic<bool>& InterruptRequested();
// The signal that set the flag, 0 when none.
int InterruptSignal();
// Set by the second signal, once the temporary files are gone.
bool StopAtOnceRequested();
// Installs the handlers, except for a signal that is ignored (nohup, a
// background job); the previous ones come back with RestoreInterruptHandlers.
void InstallInterruptHandlers();
void RestoreInterruptHandlers();
