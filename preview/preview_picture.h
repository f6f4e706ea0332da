#pragma once
#include <cstdint>
#include <vector>
struct PreviewScene {
  std::vector<float> triangles;
  std::vector<float> segments;
};
struct PreviewImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
};
PreviewImage RenderPreview(const PreviewScene& scene, int size);
std::vector<unsigned char> EncodePng(const PreviewImage& image);
