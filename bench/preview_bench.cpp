// Times the preview picture: RenderPreview and EncodePng, apart, on a tiny
// model (a 12-triangle box), a large one (a sphere of 600 000 triangles),
// 10 000 large random triangles (corners anywhere in a cube, so most cover a
// good part of the picture) and a hostile scene (one triangle that fills the
// frame, named a million times: its time is the drawing's work budget), at
// one size:
//
//   preview_bench [--size N] [--runs N] [--write DIR] [--model BASE]
//
// --model also times, on BASE.mdl and BASE.dx80.vtx, reading what the
// picture shows from the files (the geometry walk and GatherModelScene) before drawing it.
//
// Prints the median and fastest milliseconds of each part, the PNG's size,
// and the triangles the budget left out, if any. --write also saves the
// pictures (box.png, sphere.png, bones.png, random.png, overdraw.png) in
// DIR, to look at them.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "formats/layout.h"
#include "io/input_file.h"
#include "mathlib/math_startup.h"
#include "preview/model_scene.h"
#include "preview/preview_picture.h"
#include "tests/preview/corner_scene.h"

namespace {

std::vector<float> BoxTriangles() {
  const int faces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 3, 7, 6}};
  std::vector<float> out;
  for (const auto& face : faces)
    for (const int corner : {face[0], face[1], face[2], face[0], face[2], face[3]}) {
      out.push_back((corner & 1) ? 2.0f : -2.0f);
      out.push_back((corner & 2) ? 1.0f : -1.0f);
      out.push_back((corner & 4) ? 3.0f : 0.0f);
    }
  return out;
}

// A sphere of rings x segments quads, two triangles each, sharing vertices as
// a model's mesh does, in bands of rings that number their vertices in 16 bits.
struct Sphere {
  struct Band {
    size_t firstVertex = 0, vertexCount = 0;
    std::vector<uint16_t> corners;
  };
  std::vector<float> positions;
  std::vector<Band> bands;
  size_t triangles = 0;

  Sphere(int rings, int segments) {
    const double pi = 3.14159265358979323846;
    for (int r = 0; r <= rings; ++r)
      for (int s = 0; s < segments; ++s) {
        const double theta = pi * r / rings, phi = 2 * pi * s / segments;
        positions.push_back(static_cast<float>(std::sin(theta) * std::cos(phi)));
        positions.push_back(static_cast<float>(std::sin(theta) * std::sin(phi)));
        positions.push_back(static_cast<float>(std::cos(theta)));
      }
    const int ringsPerBand = 65536 / segments - 1;
    for (int first = 0; first < rings; first += ringsPerBand) {
      const int last = std::min(rings, first + ringsPerBand);
      Band& band = bands.emplace_back();
      band.firstVertex = static_cast<size_t>(first) * static_cast<size_t>(segments);
      band.vertexCount = static_cast<size_t>(last - first + 1) * static_cast<size_t>(segments);
      const auto vertex = [&](int r, int s) { return static_cast<uint16_t>((r - first) * segments + s % segments); };
      for (int r = first; r < last; ++r)
        for (int s = 0; s < segments; ++s)
          band.corners.insert(band.corners.end(), {vertex(r, s), vertex(r + 1, s), vertex(r + 1, s + 1), vertex(r, s),
                                                   vertex(r + 1, s + 1), vertex(r, s + 1)});
      triangles += band.corners.size() / 3;
    }
  }

  PreviewScene Scene() const {
    PreviewScene scene;
    scene.eachBatch = [this](const PreviewBatchVisitor& visit) {
      for (const Band& band : bands)
        visit(PreviewBatch{reinterpret_cast<const unsigned char*>(positions.data() + 3 * band.firstVertex), 12,
                           band.vertexCount, band.corners.data(), band.corners.size()});
    };
    return scene;
  }
};

// A small skeleton: a spine with a head, two arms and two legs.
std::vector<float> BoneSegments() {
  const float bones[][6] = {
      {0, 0, 0, 0, 0, 10},     // spine
      {0, 0, 10, 0, 0, 13},    // head
      {0, 0, 9, 0, 4, 6},      // left arm
      {0, 0, 9, 0, -4, 6},     // right arm
      {0, 0, 0, 1, 2, -8},     // left leg
      {0, 0, 0, 1, -2, -8},    // right leg
      {1, 2, -8, 3, 2, -9},    // left foot
      {1, -2, -8, 3, -2, -9},  // right foot
  };
  std::vector<float> out;
  for (const auto& bone : bones) out.insert(out.end(), bone, bone + 6);
  return out;
}

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

struct Timing {
  double medianRender, fastestRender, medianPng, fastestPng;
  size_t pngBytes;
  int64_t leftOut;
  std::vector<unsigned char> png;
};

Timing Measure(const PreviewScene& scene, int size, int runs) {
  std::vector<double> render, png;
  Timing t{};
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const PreviewImage image = RenderPreview(scene, size);
    const auto drawn = std::chrono::steady_clock::now();
    t.leftOut = image.trianglesLeftOut;
    t.png = EncodePng(image);
    const auto encoded = std::chrono::steady_clock::now();
    render.push_back(Milliseconds(drawn - start));
    png.push_back(Milliseconds(encoded - drawn));
  }
  std::sort(render.begin(), render.end());
  std::sort(png.begin(), png.end());
  t.medianRender = render[render.size() / 2];
  t.fastestRender = render.front();
  t.medianPng = png[png.size() / 2];
  t.fastestPng = png.front();
  t.pngBytes = t.png.size();
  return t;
}

void Report(const char* name, size_t triangles, const Timing& t) {
  std::printf(
      "%-8s %8zu triangles  render median %7.3f ms (fastest %7.3f)  png median %6.3f ms (fastest %6.3f)  %7zu bytes",
      name, triangles, t.medianRender, t.fastestRender, t.medianPng, t.fastestPng, t.pngBytes);
  if (t.leftOut > 0) std::printf("  %lld left out", static_cast<long long>(t.leftOut));
  std::printf("\n");
}

void Save(const std::string& dir, const char* name, const std::vector<unsigned char>& png) {
  if (dir.empty()) return;
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

// Times the walk that reads a model's scene, then its picture.
int MeasureModel(const std::string& base, int size, int runs) {
  MathStartup(2.2f, 2.2f, 0.0f, 2, 1, 1, 1, 1);
  const std::string modelPath = base + ".mdl", stripPath = base + ".dx80.vtx";
  const FileBlock modelFile = ReadWholeFile(modelPath.c_str()), stripFile = ReadWholeFile(stripPath.c_str());
  if (modelFile.size < 8 || stripFile.size == 0) {
    std::fprintf(stderr, "preview_bench: cannot read %s and %s\n", modelPath.c_str(), stripPath.c_str());
    return 2;
  }
  const ByteView modelBytes{modelFile.data.get(), modelFile.size, modelPath.c_str()};
  const ModelFile model{modelBytes, LayoutForVersion(ReadModelVersion(modelBytes))};
  const StripFile strip{ByteView{stripFile.data.get(), stripFile.size, stripPath.c_str()}};
  if (model.layout == nullptr) return 2;
  std::vector<double> gather;
  ModelGeometry geometry;
  ModelScene scene;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    geometry = WalkModelGeometry(model, strip);
    scene = GatherModelScene(model, geometry, true);
    gather.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
  }
  std::sort(gather.begin(), gather.end());
  std::printf("%s: %lld triangles at LOD 0; reading them: median %.3f ms (fastest %.3f)\n", base.c_str(),
              static_cast<long long>(scene.lodZeroTriangles), gather[gather.size() / 2], gather.front());
  Report("model", static_cast<size_t>(scene.lodZeroTriangles), Measure(scene.Scene(), size, runs));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int size = 256, runs = 0;
  std::string writeDir, modelBase;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--size") && i + 1 < argc)
      size = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
      runs = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--write") && i + 1 < argc)
      writeDir = argv[++i];
    else if (!std::strcmp(argv[i], "--model") && i + 1 < argc)
      modelBase = argv[++i];
    else {
      std::fprintf(stderr, "usage: preview_bench [--size N] [--runs N] [--write DIR] [--model BASE]\n");
      return 2;
    }
  }

  if (!modelBase.empty()) return MeasureModel(modelBase, size, runs > 0 ? runs : 11);
  const TestScene boxArrays = CornerScene(BoxTriangles());
  const Sphere sphereArrays(400, 750);
  const PreviewScene box = boxArrays.Scene(), sphere = sphereArrays.Scene();
  PreviewScene bones;
  bones.segments = BoneSegments();
  std::printf("size %d\n", size);
  const Timing tiny = Measure(box, size, runs > 0 ? runs : 301);
  Report("box", boxArrays.corners.size() / 3, tiny);
  const Timing large = Measure(sphere, size, runs > 0 ? runs : 21);
  Report("sphere", sphereArrays.triangles, large);
  const Timing skeleton = Measure(bones, size, runs > 0 ? runs : 301);
  Report("bones", 0, skeleton);
  std::vector<float> corners;
  uint32_t seed = 1;
  for (int n = 0; n < 10000 * 9; ++n) {
    seed = seed * 1664525u + 1013904223u;
    corners.push_back(static_cast<float>(seed >> 8) / 16777216.0f);
  }
  const TestScene random = CornerScene(corners);
  const Timing scattered = Measure(random.Scene(), size, runs > 0 ? runs : 11);
  Report("random", random.corners.size() / 3, scattered);
  TestScene overdraw = CornerScene({0, 0, 0, 0, 10, 0, 0, 0, 10});
  for (int n = 1; n < 1000000; ++n) overdraw.corners.insert(overdraw.corners.end(), {0, 1, 2});
  const Timing hostile = Measure(overdraw.Scene(), size, runs > 0 ? runs : 5);
  Report("overdraw", overdraw.corners.size() / 3, hostile);
  Save(writeDir, "box.png", tiny.png);
  Save(writeDir, "sphere.png", large.png);
  Save(writeDir, "bones.png", skeleton.png);
  Save(writeDir, "random.png", scattered.png);
  Save(writeDir, "overdraw.png", hostile.png);
  return 0;
}
