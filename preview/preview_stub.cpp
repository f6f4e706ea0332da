#include "preview/preview_picture.h"
PreviewImage RenderPreview(const PreviewScene& scene, int size) {
  PreviewImage image;
  if (scene.triangles.empty() && scene.segments.empty()) return image;
  image.width = image.height = size;
  image.rgba.assign(static_cast<unsigned>(size) * size * 4, 0);
  return image;
}
std::vector<unsigned char> EncodePng(const PreviewImage& image) { return std::vector<unsigned char>(image.rgba.begin(), image.rgba.begin() + 8); }
