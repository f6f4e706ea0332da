// The temporary files that exist at this moment, so that a terminating signal
// (SIGINT, SIGTERM, SIGHUP) can remove them before the process ends.
//
// This is the one piece of process-wide state in the tool: a signal is
// delivered to the process, not to a conversion, and its handler can reach
// nothing but globals. The table is fixed in size and lock-free, since the
// handler may run on any thread at any moment, also while another thread is in
// the middle of creating or committing a file, and may only call
// async-signal-safe functions (unlinkat, _exit).
//
// A slot is free, being created, live or closed. Creating a file claims a
// free slot, records the folder descriptor and the name, creates the file with
// O_EXCL and marks the slot live, with the terminating signals blocked on that
// thread throughout; so a slot is live exactly while a file this process
// created under that name exists, and a name that was already taken (someone
// else's file) is never recorded. The handler closes every slot for good
// (waiting for one being created on another thread to settle), removes the
// files of the live ones and ends the process: no file can be created after
// it has passed. A batch's handler for a second signal does the same without
// ending the process, which then writes its report (driver/interrupt_flag.h).
#pragma once

#include <cstddef>

// Names up to this many bytes (terminator included) fit a slot.
constexpr size_t kTempNameCapacity = 48;
// More than the tool ever has open at once: at most 2 per worker (-jobs up to
// 1024) and the build script.
constexpr int kTempSlotCount = 4096;

// Creates `name` (no folder part) below `folderFd` with O_CREAT | O_EXCL and
// records it; returns the descriptor and sets `slot`, or -1 with errno set
// (EEXIST: the name is taken; ENAMETOOLONG: it does not fit a slot; EMFILE: no
// slot is free; ECANCELED: a terminating signal is being handled).
int CreateRegisteredFile(int folderFd, const char* name, int flags, int mode, int& slot);
// Forgets the file of `slot` (-1: none): call it after the file was renamed
// into place or removed, and before its folder descriptor is closed.
void ReleaseRegisteredFile(int& slot);
// Closes the registry for good and removes every registered file; false when
// another call has done or is doing it (that one ends the process, or its
// caller goes on without temporaries). Async-signal-safe.
bool RemoveRegisteredFiles();
// The handler for SIGINT, SIGTERM and SIGHUP: removes every registered file,
// writes `line` (when set) to standard error and ends the process with status
// 128 + `signal`. A handler on another thread that comes second waits for the
// first to end the process. Async-signal-safe.
[[noreturn]] void RemoveRegisteredFilesAndExit(int signal, const char* line = nullptr);
