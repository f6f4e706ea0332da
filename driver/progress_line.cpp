#include "driver/progress_line.h"

#include <cstdio>

std::string FormatProgress(const ProgressCounts& counts) {
  char text[256];
  double readMb = static_cast<double>(counts.bytesRead) / 1e6;
  double writtenMb = static_cast<double>(counts.bytesWritten) / 1e6;
  double rate = counts.seconds > 0 ? readMb / counts.seconds : 0;
  int length = std::snprintf(text, sizeof text, "%zu/%zu models, %zu with errors, %.1f MB read, %.1f MB written, %.1f MB/s",
                             counts.done, counts.total, counts.failed, readMb, writtenMb, rate);
  std::string line(text, length > 0 ? static_cast<size_t>(length) : 0);
  if (counts.inputDone > 0 && counts.inputTotal >= counts.inputDone && counts.done < counts.total) {
    double left = counts.seconds * static_cast<double>(counts.inputTotal - counts.inputDone) /
                  static_cast<double>(counts.inputDone);
    long seconds = static_cast<long>(left + 0.5);
    std::snprintf(text, sizeof text, ", %ld:%02ld left", seconds / 60, seconds % 60);
    line += text;
  }
  return line;
}

BatchConsole::BatchConsole(bool progress) : progress_(progress) {}

void BatchConsole::ClearLocked() {
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  shown_ = false;
}

void BatchConsole::ShowProgress(const std::string& text) {
  if (!progress_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(stderr, "\r%s\033[K", text.c_str());
  std::fflush(stderr);
  shown_ = true;
}

void BatchConsole::PrintLine(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  ClearLocked();
  std::fputs(text.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void BatchConsole::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  ClearLocked();
}
