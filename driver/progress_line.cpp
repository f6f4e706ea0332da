#include "driver/progress_line.h"

#include <cstdio>

#include "io/shown_name.h"

std::string FormatProgress(const ProgressCounts& counts) {
  char text[256];
  double readMb = static_cast<double>(counts.bytesRead) / 1e6;
  double writtenMb = static_cast<double>(counts.bytesWritten) / 1e6;
  double rate = counts.seconds > 0 ? readMb / counts.seconds : 0;
  int length = std::snprintf(text, sizeof text, "%zu/%zu models, %zu with errors, %.1f MB read, %.1f MB written, %.1f MB/s",
                             counts.done, counts.total, counts.failed, readMb, writtenMb, rate);
  std::string line(text, length > 0 ? static_cast<size_t>(length) : 0);
  const double total = static_cast<double>(counts.inputTotal);
  if (counts.done < counts.total && counts.seconds >= kEstimateAfterSeconds &&
      counts.workDone >= kEstimateAfterShare * total && counts.workDone > 0 && counts.workDone <= total) {
    double left = counts.seconds * (total - counts.workDone) / counts.workDone;
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

void BatchConsole::PrintTo(FILE* stream, const std::string& text) {
  const std::string line = ShownLine(text) + '\n';
  std::lock_guard<std::mutex> lock(mutex_);
  ClearLocked();
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

void BatchConsole::PrintLine(const std::string& text) { PrintTo(stdout, text); }

void BatchConsole::PrintNotice(const std::string& text) { PrintTo(stderr, text); }

void BatchConsole::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  ClearLocked();
}
