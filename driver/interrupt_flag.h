// Ctrl-C (SIGINT) and SIGTERM during a batch: the handler only records the
// signal; the batch checks the flag between models.
#pragma once

#include <atomic>

// Set by the handlers; read anywhere.
const std::atomic<bool>& InterruptRequested();
// The signal that set the flag, 0 when none.
int InterruptSignal();
// Installs the handlers; the previous ones come back with RestoreInterruptHandlers.
void InstallInterruptHandlers();
void RestoreInterruptHandlers();
