#include "io/log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "io/message_format.h"

namespace {

constexpr size_t kMessageBufferSize = 2048;
// Ends a message that did not fit its buffer, before its line feed.
constexpr char kCutMark[] = "...[cut]";

void WriteConsole(LogChannel& channel, std::string_view text) {
  if (!channel.toConsole) return;
  if (channel.console != nullptr) {
    channel.console->append(text);
    return;
  }
  // The console takes the bytes unchanged: no code-page conversion on this platform.
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// Said once per channel, on the console only: the log is what failed.
void ReportLogFailure(LogChannel& channel, const char* what) {
  if (channel.failed) return;
  channel.failed = true;
  std::string line = std::string("Log file streams.log ") + what + "\n";
  WriteConsole(channel, line);
}

// The log is never written through a link, and never anything but a regular
// file: a FIFO or a device there would block the run or receive its lines.
void OpenLogFile(LogChannel& channel) {
  channel.logOpenTried = true;
  int fd = ::openat(channel.folderFd, "streams.log",
                    O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (errno == ELOOP || errno == ENXIO || errno == EISDIR) {
      ReportLogFailure(channel, "refused: it is a link or not a regular file");
    } else {
      std::string what = std::string("cannot be opened: ") + std::strerror(errno);
      ReportLogFailure(channel, what.c_str());
    }
    return;
  }
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    ReportLogFailure(channel, "refused: it is a link or not a regular file");
    return;
  }
  channel.logFd = fd;
}

void WriteLogFile(LogChannel& channel, std::string_view text) {
  if (!channel.toLogFile) return;
  if (!channel.logOpenTried) OpenLogFile(channel);
  if (channel.logFd < 0) return;
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t written = ::write(channel.logFd, p, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      std::string what = std::string("not written completely: ") + std::strerror(written < 0 ? errno : ENOSPC);
      ReportLogFailure(channel, what.c_str());
      ::close(channel.logFd);
      channel.logFd = -1;
      return;
    }
    p += written;
    left -= static_cast<size_t>(written);
  }
}

}  // namespace

void ReleaseMessages(LogChannel& channel, std::string_view text) {
  if (text.empty() || channel.silenced) return;
  WriteConsole(channel, text);
  WriteLogFile(channel, text);
}

void EmitMessage(MessageSink& sink, std::string_view text) {
  if (sink.held != nullptr) {
    sink.held->append(text);
    return;
  }
  if (sink.channel != nullptr) ReleaseMessages(*sink.channel, text);
}

void CloseLogChannel(LogChannel& channel) {
  if (channel.logFd >= 0) ::close(channel.logFd);
  channel.logFd = -1;
}

void LogMessage(MessageSink& sink, const char* format, ...) {
  char buffer[kMessageBufferSize];
  va_list args;
  va_start(args, format);
  int lastByte = -1;
  size_t length = FormatMessage(buffer, sizeof buffer, format, args, &lastByte);
  va_end(args);
  if (lastByte >= 0) {
    // Cut where a UTF-8 character starts, so the line stays readable text, and
    // keep the line feed: the next message starts on a line of its own.
    const size_t tail = sizeof kCutMark - 1 + (lastByte == '\n' ? 1 : 0);
    length = sizeof buffer - 1 - tail;
    while (length > 0 && (static_cast<unsigned char>(buffer[length]) & 0xC0) == 0x80) --length;
    std::memcpy(buffer + length, kCutMark, sizeof kCutMark - 1);
    length += sizeof kCutMark - 1;
    if (lastByte == '\n') buffer[length++] = '\n';
  }
  EmitMessage(sink, std::string_view(buffer, length));
}

void PrintUsage(MessageSink& sink) { LogMessage(sink, "Use: Tamberlo.exe -file <Model Name>\n"); }
