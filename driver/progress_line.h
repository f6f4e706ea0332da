// The console of a batch: one progress line on standard error, rewritten in
// place when it is a terminal, and whole lines (the models that failed, the
// summary) on standard output, never cut by the progress line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

struct ProgressCounts {
  size_t done = 0;            // models finished
  size_t total = 0;           // models to convert
  size_t failed = 0;          // finished models with errors
  int64_t bytesRead = 0;      // input loaded so far
  uint64_t bytesWritten = 0;  // output committed so far
  int64_t inputDone = 0;      // input bytes of the finished models
  int64_t inputTotal = 0;     // input bytes of every model
  double seconds = 0;         // since the start
};

// "12/300 models, 1 with errors, 45.2 MB read, 310.5 MB written, 52.3 MB/s, 0:41 left";
// the rate is of input read, the time left estimated from the input still to do.
std::string FormatProgress(const ProgressCounts& counts);

class BatchConsole {
 public:
  // `progress`: draw the progress line (standard error is a terminal and no -quiet).
  explicit BatchConsole(bool progress);
  bool ShowsProgress() const { return progress_; }
  // Rewrites the progress line; does nothing without progress.
  void ShowProgress(const std::string& text);
  // Clears the progress line, then writes `text` and a newline to standard output.
  void PrintLine(const std::string& text);
  // Clears the progress line for good.
  void Finish();

 private:
  void ClearLocked();

  std::mutex mutex_;
  bool progress_;
  bool shown_ = false;
};
