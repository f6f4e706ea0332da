// The console of a batch: one progress line on standard error, rewritten in
// place when it is a terminal, whole lines (the models that failed, the
// summary) on standard output and notices (an interruption) on standard
// error, never cut by the progress line. No byte below 0x20 and no 0x7F of
// a line's text reaches the console: each is shown as "\xNN".
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
  int64_t inputTotal = 0;     // input bytes of every model: the whole work
  // The work done, in input bytes: the finished models' input and the part
  // of the models in progress that their output or time so far suggests.
  double workDone = 0;
  double seconds = 0;         // since the start
};

// The time left is shown once this share of the work and this many seconds
// have passed: before, it says more about the first models than the batch.
constexpr double kEstimateAfterShare = 0.05;
constexpr double kEstimateAfterSeconds = 3;

// "12/300 models, 1 with errors, 45.2 MB read, 310.5 MB written, 52.3 MB/s, 0:41 left";
// the rate is of input read, the time left the time so far times the share
// of the work still to do over the share done.
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
  // The same to standard error.
  void PrintNotice(const std::string& text);
  // Clears the progress line for good.
  void Finish();

 private:
  void ClearLocked();
  void PrintTo(FILE* stream, const std::string& text);

  std::mutex mutex_;
  bool progress_;
  bool shown_ = false;
};
