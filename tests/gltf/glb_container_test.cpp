// The .glb's head is written after its binary chunk, into the room left for
// it: a JSON text shorter than the room is padded with spaces, a longer one
// widens the room, and without binary data the head is the whole file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "gltf/glb_container.h"
#include "io/output_file.h"

namespace {

uint32_t U32(const std::string& bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

// The file of `json` and `binary`, built with room for a JSON text of `roomFor` bytes.
std::string Glb(const std::string& json, const std::vector<unsigned char>& binary, int64_t roomFor) {
  std::string bytes;
  OutputFile out;
  OpenOutputToString(out, bytes);
  BinaryChunk chunk;
  chunk.StreamTo(out, GlbHeadRoom(roomFor));
  chunk.Append(binary.data(), binary.size());
  const int64_t size = FinishGlb(json, chunk);
  FinishOutputFile(out);
  EXPECT_EQ(size, static_cast<int64_t>(bytes.size()));
  return bytes;
}

TEST(GlbContainer, TheJsonFillsItsRoomOrWidensItAndTheBinaryChunkFollowsIntact) {
  std::vector<unsigned char> binary(1 << 20);
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<unsigned char>(i * 7 + i / 251);
  binary.resize(binary.size() - 1);  // padded to 4 by the container
  const std::string json = R"({"asset":{"version":"2.0"},"buffers":[{"byteLength":1048575}]})";
  for (const int64_t roomFor : {int64_t{0}, int64_t{10}, static_cast<int64_t>(json.size()), int64_t{4000}}) {
    SCOPED_TRACE(roomFor);
    const std::string glb = Glb(json, binary, roomFor);
    ASSERT_GE(glb.size(), 28u);
    EXPECT_EQ(glb.substr(0, 4), "glTF");
    EXPECT_EQ(U32(glb, 4), 2u);
    EXPECT_EQ(U32(glb, 8), glb.size());
    const uint32_t jsonLength = U32(glb, 12);
    EXPECT_EQ(jsonLength % 4, 0u);
    EXPECT_EQ(glb.substr(16, 4), "JSON");
    // The text, then spaces only: at most the room asked for, or 3 to align.
    EXPECT_EQ(glb.substr(20, json.size()), json);
    EXPECT_EQ(glb.substr(20 + json.size(), jsonLength - json.size()),
              std::string(jsonLength - json.size(), ' '));
    EXPECT_LE(jsonLength, std::max<int64_t>(static_cast<int64_t>(json.size()) + 3, (roomFor + 3) / 4 * 4));
    const size_t binaryAt = 20 + jsonLength;
    EXPECT_EQ(U32(glb, binaryAt), binary.size() + 1);
    EXPECT_EQ(glb.substr(binaryAt + 4, 4), std::string("BIN\0", 4));
    EXPECT_EQ(std::memcmp(glb.data() + binaryAt + 8, binary.data(), binary.size()), 0);
    EXPECT_EQ(glb.back(), '\0');
    EXPECT_EQ(glb.size(), binaryAt + 8 + binary.size() + 1);
  }
}

TEST(GlbContainer, WithoutBinaryDataTheHeadIsTheWholeFile) {
  const std::string json = R"({"asset":{"version":"2.0"}})";
  const std::string glb = Glb(json, {}, 4000);
  EXPECT_EQ(glb.size(), 20 + (json.size() + 3) / 4 * 4);
  EXPECT_EQ(U32(glb, 8), glb.size());
  EXPECT_EQ(glb.substr(20, json.size()), json);
}

}  // namespace
