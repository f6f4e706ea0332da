// -batch: many models converted into one output tree by a pool of workers,
// with a progress line, a report and one exit status.
#pragma once

#include "driver/batch_options.h"

// The whole batch command line: parsed, then run. A line that cannot be run
// is said on standard error with the usage line, status 64.
int RunBatchCommand(int argc, char** argv);

// Finds the models, converts them (largest input first, `options.jobs` models
// and their files at once on one shared pool), writes DIR/report.json and
// returns the batch's exit status: 0 every model converted without errors, 2
// some model was not or a folder could not be read, 64 the output root cannot
// be created, 128 + the signal (130 for Ctrl-C) when interrupted.
int RunBatch(const BatchOptions& options);
