// A file whose head is written last: the body goes after room left for the
// head, a head longer than the room widens it by moving the body, and the
// head is then written into place. On disk and in collected text alike.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "io/output_file.h"
#include "io/output_folder.h"
#include "io/output_head.h"
#include "tests/tool_runner/tool_runner.h"

namespace {

// A body longer than the output buffer and the pieces a move is made in, with
// no two pieces alike, so a byte moved to the wrong place shows.
std::string Body() {
  std::string body(3 * 1024 * 1024 + 7, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 131 + i / 4093) & 0xFF);
  return body;
}

// Writes `body` after `room` bytes, widens the room to fit `head`, writes the head.
void WriteWithHead(OutputFile& out, const std::string& head, uint64_t room, const std::string& body) {
  SkipOutputBytes(out, room);
  PutBytes(out, body.data(), body.size());
  if (head.size() > room) WidenOutputRoom(out, room, head.size() - room);
  PatchOutputBytes(out, 0, head.data(), head.size());
}

TEST(OutputHead, TheHeadLandsBeforeTheBodyWhetherItFitsTheRoomOrWidensIt) {
  const std::string body = Body();
  for (const uint64_t room : {uint64_t{12}, uint64_t{5}, uint64_t{0}}) {
    SCOPED_TRACE(room);
    const std::string head = "twelve bytes";
    const std::string want = head + body;

    std::string collected;
    OutputFile inMemory;
    OpenOutputToString(inMemory, collected);
    WriteWithHead(inMemory, head, room, body);
    FinishOutputFile(inMemory);
    EXPECT_TRUE(collected == want);
    EXPECT_EQ(inMemory.bytesWritten, want.size());

    ScratchDir dir;
    OutputFolder folder;
    std::string error;
    ASSERT_TRUE(OpenNamedFolder(folder, dir.path.string(), error)) << error;
    Destination to{&folder, MessageSink{}, false};
    OutputFile out;
    ASSERT_EQ(OpenOutputFile(to, out, "headed.bin"), OpenResult::Opened);
    WriteWithHead(out, head, room, body);
    EXPECT_EQ(out.bytesWritten, want.size());
    ASSERT_TRUE(CloseOutputFile(to, out));
    CloseOutputFolder(folder);
    std::ifstream file(dir.path / "headed.bin", std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(written == want) << written.size() << " bytes against " << want.size();
  }
}

TEST(OutputHead, RoomAndWideningCountAgainstTheFilesCap) {
  std::string collected;
  OutputFile out;
  OpenOutputToString(out, collected);
  out.byteCap = 100;
  SkipOutputBytes(out, 60);
  PutText(out, std::string(30, 'x'));
  FlushOutputBuffer(out);
  EXPECT_FALSE(out.overLimit);
  WidenOutputRoom(out, 60, 20);
  EXPECT_TRUE(out.overLimit);
  EXPECT_TRUE(out.writeFailed);
}

}  // namespace
