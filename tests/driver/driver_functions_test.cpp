// Argument lookup, name edits, message formatting and file loading.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "driver/arguments.h"
#include "io/input_file.h"
#include "io/log.h"
#include "io/message_format.h"
#include "io/names.h"
#include "io/output_file.h"
#include "io/safe_names.h"
#include "tests/tool_runner/tool_runner.h"

namespace {

struct Args {
  std::vector<std::string> strings;
  std::vector<char*> pointers;
  explicit Args(std::vector<std::string> s) : strings(std::move(s)) {
    for (std::string& a : strings) pointers.push_back(a.data());
  }
  int argc() const { return static_cast<int>(pointers.size()); }
  char** argv() { return pointers.data(); }
};

std::string Format(const char* format, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, format);
  FormatMessage(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::string Stripped(std::string text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  StripExtension(buffer.data());
  return buffer.data();
}

}  // namespace

TEST(Arguments, FindArgumentMatchesAnyPositionIgnoringCase) {
  Args args({"prog", "-File", "x", "-other"});
  char fallback[] = "default";
  EXPECT_STREQ(FindArgument(args.argc(), args.argv(), "-file", nullptr), "x");
  EXPECT_STREQ(FindArgument(args.argc(), args.argv(), "-OTHER", fallback), "");
  EXPECT_EQ(FindArgument(args.argc(), args.argv(), "-missing", fallback), fallback);
  EXPECT_EQ(FindArgument(args.argc(), args.argv(), "-missing", nullptr), nullptr);
  // Argument 0, the program path, is compared too.
  EXPECT_STREQ(FindArgument(args.argc(), args.argv(), "PROG", nullptr), "-File");
}

TEST(Names, StripExtensionCutsOnlyTheLastExtensionOfTheLastPart) {
  const std::pair<const char*, const char*> cases[] = {
      {"a.b.c", "a.b"},   {"name.", "name"},   {"dir.x/name", "dir.x/name"},          {"a/.b", "a/"},
      {".mdl", ".mdl"},   {"x.mdl", "x"},      {"x", "x"},                            {"", ""},
      {"./model", "./model"}, {"D:\\models\\car.mdl", "D:/models/car"}, {"parts\\arm.smd", "parts/arm"},
  };
  for (const auto& [before, after] : cases) EXPECT_EQ(Stripped(before), after) << before;
}

TEST(Names, NormalizeSlashesTouchesOnlyBackslashes) {
  char text[] = "a\\b/c\\\\d.e\xe4";
  NormalizeSlashes(text);
  EXPECT_STREQ(text, "a/b/c//d.e\xe4");
}

TEST(Messages, FormatsIntegersStringsAndFloatsByTheToolsRule) {
  EXPECT_EQ(Format("Extracted lod: %d, distance: %.0f\n", 2, 12.5f), "Extracted lod: 2, distance: 13\n");
  EXPECT_EQ(Format("%.0f %.0f %.0f", 0.4f, 2.5f, -2.5f), "0 3 -3");
  EXPECT_EQ(Format("%f|%s|%%|%c|%5d|%-3d|", -0.0f, "a%sb", 'z', 42, 7), "0.000000|a%sb|%|z|   42|7  |");
  EXPECT_EQ(Format("%d %d", INT32_MIN, INT32_MAX), "-2147483648 2147483647");
}

TEST(Messages, LongMessagesAreCutAtTheBuffer) {
  std::string name(5000, 'n');
  std::string text = Format("Can't open: %s\n", name.c_str());
  EXPECT_EQ(text.size(), 2047u);
  EXPECT_EQ(text.substr(0, 12), "Can't open: ");
}

// A logged message longer than its buffer ends in a visible mark and keeps
// its line feed: the next message starts on a line of its own, and no UTF-8
// character is split.
TEST(Messages, ALoggedMessageTooLongIsMarkedAndKeepsItsLineFeed) {
  LogChannel channel;
  channel.toLogFile = false;
  std::string console;
  channel.console = &console;
  MessageSink sink{&channel, nullptr};
  const std::string name(3000, 'n');
  LogMessage(sink, "Name changed: \"%s\" -> \"%s\"\n", name.c_str(), name.c_str());
  LogMessage(sink, "Next\n");
  ASSERT_EQ(console.size(), 2047u + 5u);
  EXPECT_EQ(console.substr(0, 15), "Name changed: \"");
  EXPECT_EQ(console.substr(2047 - 9), "...[cut]\nNext\n");

  // "\xC3\xA9" (e-acute) across the cut is kept whole or left out whole.
  for (size_t lead : {2035u, 2036u, 2037u, 2038u}) {
    console.clear();
    const std::string text = std::string(lead, 'a') + "\xC3\xA9\xC3\xA9" + std::string(100, 'b');
    LogMessage(sink, "%s\n", text.c_str());
    ASSERT_TRUE(console.ends_with("...[cut]\n")) << lead;
    const std::string kept = console.substr(0, console.size() - 9);
    EXPECT_EQ(kept.find_first_not_of('a'), lead < kept.size() ? lead : std::string::npos) << lead;
    EXPECT_EQ((kept.size() - lead) % 2, 0u) << lead;  // whole two-byte characters only
    EXPECT_LE(console.size(), 2047u) << lead;
  }

  // Without a line feed of its own, none is added; a message that fits is untouched.
  console.clear();
  LogMessage(sink, "%s", name.c_str());
  EXPECT_EQ(console, std::string(2039, 'n') + "...[cut]");
  console.clear();
  const std::string fits(2046, 'f');
  LogMessage(sink, "%s\n", fits.c_str());
  EXPECT_EQ(console, fits + "\n");
}

TEST(FileIo, ReadWholeFileReportsMissingAndEmptyAsZero) {
  ScratchDir dir;
  std::string missing = (dir.path / "missing").string();
  FileBlock none = ReadWholeFile(missing.c_str());
  EXPECT_EQ(none.size, 0);
  EXPECT_EQ(none.data, nullptr);
  std::string empty = (dir.path / "empty").string();
  WriteFileBytes(empty, {});
  EXPECT_EQ(ReadWholeFile(empty.c_str()).size, 0);

  std::string full = (dir.path / "full").string();
  WriteFileBytes(full, {0, 1, 2, 255});
  FileBlock block = ReadWholeFile(full.c_str());
  ASSERT_EQ(block.size, 4);
  const unsigned char bytes[] = {0, 1, 2, 255};
  EXPECT_EQ(std::memcmp(block.data.get(), bytes, 4), 0);
}

// From 2 MB the block is mapped in large pages: every size around a page
// boundary holds every byte of the file and the terminator behind it.
TEST(FileIo, ReadWholeFileHoldsLargeFilesWhole) {
  ScratchDir dir;
  for (size_t size : {(size_t{2} << 20) - 1, size_t{2} << 20, (size_t{2} << 20) + 1, (size_t{6} << 20) + 4097}) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>((i * 2654435761u) >> 13);
    const std::string path = (dir.path / ("large" + std::to_string(size))).string();
    WriteFileBytes(path, bytes);
    FileBlock block = ReadWholeFile(path.c_str());
    ASSERT_EQ(block.size, static_cast<int64_t>(size));
    EXPECT_EQ(std::memcmp(block.data.get(), bytes.data(), size), 0) << size;
    EXPECT_EQ(block.data[size], 0) << size;
  }
}

TEST(Output, UnsafeNamesAreRecognised) {
  for (const char* name : {"/etc/passwd", "\\x.smd", "C:x.smd", "c:\\x", "..", "../x.smd", "a/../../x", "a\\..\\x"})
    EXPECT_FALSE(IsSafeOutputName(name)) << name;
  for (const char* name : {"x.smd", "parts/arm.smd", "a..b.smd", "..x/y", "x/..y", "lod1_parts/arm.smd", "1:x"})
    EXPECT_TRUE(IsSafeOutputName(name)) << name;
}

TEST(Arguments, ByteSizesTakeKMGSuffixesInPowersOf1024) {
  const std::pair<const char*, uint64_t> good[] = {
      {"0", 0}, {"1", 1}, {"1k", 1024}, {"2K", 2048}, {"3m", 3u << 20}, {"4G", uint64_t{4} << 30},
      {"18446744073709551615", UINT64_MAX}, {"17179869183G", UINT64_MAX - ((uint64_t{1} << 30) - 1)},
  };
  for (const auto& [text, bytes] : good) {
    uint64_t parsed = 7;
    EXPECT_TRUE(ParseByteSize(text, parsed)) << text;
    EXPECT_EQ(parsed, bytes) << text;
  }
  for (const char* text : {"", "-1", "+1", " 1", "1 ", "1KB", "1T", "K", "1.5", "18446744073709551616", "17179869184G"}) {
    uint64_t parsed = 7;
    EXPECT_FALSE(ParseByteSize(text, parsed)) << text;
    EXPECT_EQ(parsed, 7u) << text;
  }
  EXPECT_EQ(ByteSizeText(uint64_t{4} << 30), "4G");
  EXPECT_EQ(ByteSizeText(300 * 1024), "300K");
  EXPECT_EQ(ByteSizeText(1536 * 1024), "1536K");
  EXPECT_EQ(ByteSizeText(1000), "1000");
  EXPECT_EQ(ByteSizeText(0), "0");
}

TEST(Names, UnsafeBytesAreWrittenAsUnderscoresAndShownAsHex) {
  const std::string name = std::string("a\x00", 2) + "\x01\t\n\x1b\x1f \"\x7f\x80\xff~";
  EXPECT_EQ(WrittenName(name), std::string("a______ __\x80\xff~"));
  EXPECT_EQ(ShownName(name), "a\\x00\\x01\\x09\\x0A\\x1B\\x1F \\x22\\x7F\x80\xff~");
  EXPECT_FALSE(HasUnsafeNameBytes("plain name/with\\slashes \x80\xfe"));
  // A whole line keeps its quotes; its control bytes are shown the same way.
  EXPECT_EQ(ShownLine("not \"2\tx\"\x1b[2J\x7f"), "not \"2\\x09x\"\\x1B[2J\\x7F");
  std::string collected;
  OutputFile out;
  OpenOutputToString(out, collected);
  PutWrittenName(out, name);
  PutWrittenName(out, "clean");
  FlushOutputBuffer(out);
  EXPECT_EQ(collected, WrittenName(name) + "clean");
}
