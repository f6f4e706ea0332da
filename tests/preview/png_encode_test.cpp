#include <png.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "preview/preview_picture.h"

namespace {

// Decodes with libpng's own reader; false when it refuses the file.
bool DecodePng(const std::vector<unsigned char>& file, PreviewImage& out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return false;
  image.format = PNG_FORMAT_RGBA;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.rgba.assign(PNG_IMAGE_SIZE(image), 0);
  return png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr) != 0;
}

uint32_t BigEndian32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Every kind of pixel: transparent, opaque, half transparent with colour
// (not premultiplied), steps and noise that exercise the row filters.
PreviewImage TestPattern(int width, int height) {
  PreviewImage image{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 4)};
  uint32_t seed = 99;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
      seed = seed * 1664525u + 1013904223u;
      const int kind = (x + 3 * y) % 4;
      if (kind == 0) continue;
      p[0] = static_cast<uint8_t>(x * 7);
      p[1] = static_cast<uint8_t>(y * 13);
      p[2] = static_cast<uint8_t>(seed >> 24);
      p[3] = kind == 1 ? 255 : static_cast<uint8_t>(seed >> 16);
    }
  return image;
}

TEST(EncodePng, WritesAnRgbaPngThatDecodesToTheSamePixels) {
  for (const auto& [width, height] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{37, 19}, std::pair{256, 256}}) {
    const PreviewImage image = TestPattern(width, height);
    const std::vector<unsigned char> file = EncodePng(image);
    ASSERT_GT(file.size(), 8u + 25u);
    const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_EQ(std::memcmp(file.data(), signature, 8), 0);
    // The first chunk: IHDR, 8 bits per channel, colour type 6 (RGBA), no interlace.
    EXPECT_EQ(BigEndian32(file.data() + 8), 13u);
    EXPECT_EQ(std::memcmp(file.data() + 12, "IHDR", 4), 0);
    EXPECT_EQ(BigEndian32(file.data() + 16), static_cast<uint32_t>(width));
    EXPECT_EQ(BigEndian32(file.data() + 20), static_cast<uint32_t>(height));
    EXPECT_EQ(file[24], 8);
    EXPECT_EQ(file[25], 6);
    EXPECT_EQ(file[28], 0);
    // The last chunk: IEND.
    EXPECT_EQ(std::memcmp(file.data() + file.size() - 8, "IEND", 4), 0);

    PreviewImage decoded;
    ASSERT_TRUE(DecodePng(file, decoded)) << width << "x" << height;
    EXPECT_EQ(decoded.width, width);
    EXPECT_EQ(decoded.height, height);
    EXPECT_EQ(decoded.rgba, image.rgba) << width << "x" << height;
  }
}

TEST(EncodePng, ARenderedPreviewRoundTrips) {
  PreviewScene scene;
  scene.triangles = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1};
  const PreviewImage image = RenderPreview(scene, 128);
  PreviewImage decoded;
  ASSERT_TRUE(DecodePng(EncodePng(image), decoded));
  EXPECT_EQ(decoded.rgba, image.rgba);
}

TEST(EncodePng, ImagesWithoutPixelsOrWithTheWrongByteCountGiveNoFile) {
  EXPECT_TRUE(EncodePng(PreviewImage{}).empty());
  EXPECT_TRUE(EncodePng(PreviewImage{0, 5, {}}).empty());
  EXPECT_TRUE(EncodePng(PreviewImage{-2, -2, {1, 2, 3, 4}}).empty());
  PreviewImage wrong = TestPattern(4, 4);
  wrong.rgba.pop_back();
  EXPECT_TRUE(EncodePng(wrong).empty());
  wrong.rgba.resize(4 * 4 * 4 + 4);
  EXPECT_TRUE(EncodePng(wrong).empty());
  // Wider than libpng accepts by default (a million pixels): its error comes
  // back as an empty result.
  const PreviewImage wide{2000000, 1, std::vector<uint8_t>(2000000 * 4, 0)};
  EXPECT_TRUE(EncodePng(wide).empty());
}

}  // namespace
