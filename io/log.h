// Messages: every line goes to the console unchanged and is appended to
// "streams.log" in the conversion's output folder.
//
// A LogChannel is the real destination of one conversion. A MessageSink is
// how a writer reaches it: directly, or held in a string that is released
// into the channel later, so that work done out of order still logs in order.
#pragma once

#include <fcntl.h>

#include <string>
#include <string_view>

struct LogChannel {
  bool toConsole = true;
  bool toLogFile = true;
  int folderFd = AT_FDCWD;          // "streams.log" is opened below this folder
  std::string* console = nullptr;   // set: console text is collected here instead of standard output
  int logFd = -1;                   // opened at the first message
  bool logOpenTried = false;
  bool failed = false;              // the log was refused or not written completely
  bool silenced = false;            // the conversion has ended early: nothing more is said
};

struct MessageSink {
  LogChannel* channel = nullptr;
  std::string* held = nullptr;  // set: messages collect here until released
};

// The text goes to the console and the log, or into `held`.
void EmitMessage(MessageSink& sink, std::string_view text);
// Writes held text into the channel, unless it is silenced.
void ReleaseMessages(LogChannel& channel, std::string_view text);
// Closes the log file if it was opened.
void CloseLogChannel(LogChannel& channel);

// Formats into a 2048-byte buffer (printf rules for %s %d %c %%, the tool's own
// float formatting for %f and %.Nf). A longer message is cut to 2047 bytes
// that end in "...[cut]" and, when the message ends in one, its line feed.
void LogMessage(MessageSink& sink, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Logs "Use: Tamberlo.exe -file <Model Name>\n".
void PrintUsage(MessageSink& sink);
