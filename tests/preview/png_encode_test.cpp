#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "preview/preview_picture.h"
#include "tests/preview/corner_scene.h"

namespace {

// Decodes with libpng's own reader; false when it refuses the file.
bool DecodePng(const std::vector<unsigned char>& file, PreviewImage& out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return false;
  image.format = PNG_FORMAT_RGBA;
  out = PreviewImage{static_cast<int>(image.width), static_cast<int>(image.height),
                     std::vector<uint8_t>(PNG_IMAGE_SIZE(image))};
  return png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr) != 0;
}

// Transparent, opaque and half-transparent pixels (colour not premultiplied).
PreviewImage TestPattern(int width, int height) {
  PreviewImage image{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 4)};
  uint32_t seed = 99;
  for (size_t i = 0; i < image.rgba.size(); i += 4) {
    seed = seed * 1664525u + 1013904223u;
    const int kind = static_cast<int>(i / 4 % 3);
    if (kind == 0) continue;
    image.rgba[i] = static_cast<uint8_t>(i * 7), image.rgba[i + 1] = static_cast<uint8_t>(seed >> 8);
    image.rgba[i + 2] = static_cast<uint8_t>(seed >> 24), image.rgba[i + 3] = kind == 1 ? 255 : seed >> 16 & 255;
  }
  return image;
}

TEST(EncodePng, WritesAnRgbaPngThatDecodesToTheSamePixels) {
  const TestScene scene = CornerScene({0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1});
  for (const PreviewImage& image : {TestPattern(1, 1), TestPattern(37, 19), RenderPreview(scene.Scene(), 128)}) {
    const std::vector<unsigned char> file = EncodePng(image);
    ASSERT_GT(file.size(), 33u);
    // The signature, then IHDR: width, height, 8 bits, colour type 6 (RGBA),
    // no interlace.
    const unsigned char head[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    EXPECT_EQ(std::memcmp(file.data(), head, sizeof head), 0);
    const unsigned char size[8] = {0, 0, 0, static_cast<unsigned char>(image.width),
                                   0, 0, 0, static_cast<unsigned char>(image.height)};
    EXPECT_EQ(std::memcmp(file.data() + 16, size, 8), 0);
    EXPECT_TRUE(file[24] == 8 && file[25] == 6 && file[28] == 0);
    PreviewImage decoded;
    ASSERT_TRUE(DecodePng(file, decoded));
    EXPECT_TRUE(decoded.width == image.width && decoded.height == image.height);
    EXPECT_EQ(decoded.rgba, image.rgba) << image.width << " x " << image.height;
  }
}

TEST(EncodePng, ImagesWithoutPixelsOrWithTheWrongByteCountGiveNoFile) {
  EXPECT_TRUE(EncodePng(PreviewImage{}).empty());
  EXPECT_TRUE(EncodePng(PreviewImage{-2, -2, {1, 2, 3, 4}}).empty());
  PreviewImage wrong = TestPattern(4, 4);
  wrong.rgba.pop_back();
  EXPECT_TRUE(EncodePng(wrong).empty());
  wrong.rgba.resize(4 * 4 * 4 + 4);
  EXPECT_TRUE(EncodePng(wrong).empty());
  // Wider than libpng takes by default (a million pixels): its error comes
  // back as an empty result, not a jump through this code.
  EXPECT_TRUE(EncodePng(PreviewImage{2000000, 1, std::vector<uint8_t>(2000000 * 4)}).empty());
}

}  // namespace
