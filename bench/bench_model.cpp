// Writes a large model and strip file for timing the tool.
//
//   bench_model <folder> <base name> [--version N] [--bones N] [--anims N]
//               [--frames N] [--run N] [--stored N] [--submodels N] [--lods N]
//               [--triangles N] [--random-angles N] [--random-triangles 1]
//
// Skeleton: a chain of --bones bones. Animations: --anims animations of
// --frames frames; every bone has value streams on all six axes, made of runs
// that cover --run frames. The rotation streams (and the root bone's position
// streams) store --stored values per run (the rest of a run repeats its last
// value), so --stored equal to --run gives a new value every frame and
// --stored 1 a pose held for --run frames; the other bones' positions store
// one value per run, as bones keep their length. The values follow smooth
// curves, different per bone and axis, as a recorded motion does; with
// --random-angles 1 the rotation values are instead random over the whole
// 16-bit range with a scale that makes angles of up to about 33 radians, the
// rotation math's hardest case, and with --random-angles N up to N times
// that (10: hundreds of radians, where the sine and cosine reduce first).
// Geometry: one body part with --submodels sub-models; each has --lods levels
// of detail, level k drawing --triangles / 2^k triangles. The surface is a grid
// of vertices cut into meshes of at most 128 x 200 vertices (so strip entries
// and vertex numbers stay within 16 bits), two triangles per grid cell, every
// vertex shared by up to six triangles as in a real closed mesh; each mesh is
// one strip group of strips of at most 1024 triangles. With --random-triangles 1
// every vertex lies instead at a random place in the box the grid spans (the
// same for every run), so that the same triangles are large, overlap and
// cross each other: most of them cover a good part of the picture.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "builder/model_builder.h"

using namespace tb;

namespace {

struct Parameters {
  int version = 37;
  int bones = 50;
  int anims = 4;
  int frames = 200;
  int run = 16;
  int stored = 16;
  int submodels = 2;
  int lods = 2;
  int triangles = 50000;
  int randomAngles = 0;
  int randomTriangles = 0;
};

constexpr int kGridColumns = 128;
constexpr int kMaxGridRows = 200;
constexpr int kTrianglesPerStrip = 1024;

// A curve per bone and axis, quantised to the int16 values a stream stores.
int16_t CurveValue(int bone, int axis, int frame, int scale) {
  double phase = 0.37 * bone + 1.3 * axis;
  double speed = 0.05 + 0.011 * ((bone * 7 + axis * 3) % 11);
  return static_cast<int16_t>(std::lround(scale * std::sin(phase + speed * frame)));
}

// A value spread evenly over the 16-bit range, the same on every run.
int16_t RandomValue(int bone, int axis, int frame) {
  uint32_t h = static_cast<uint32_t>(bone) * 0x9E3779B1u ^ static_cast<uint32_t>(axis) * 0x85EBCA77u ^
               static_cast<uint32_t>(frame) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return static_cast<int16_t>(h & 0xFFFF);
}

// Runs of p.run frames storing `stored` values each.
AxisStream CurveStream(const Parameters& p, int stored, int bone, int axis, int scale) {
  std::vector<AnimRun> runs;
  const bool random = p.randomAngles != 0 && axis >= 3;
  for (int first = 0; first < p.frames; first += p.run) {
    int length = std::min(p.run, p.frames - first);
    AnimRun run;
    run.runLength = length;
    for (int i = 0; i < std::min(stored, length); ++i)
      run.values.push_back(random ? RandomValue(bone, axis, first + i) : CurveValue(bone, axis, first + i, scale));
    runs.push_back(run);
  }
  return RunsStream(runs);
}

AnimationDescription MakeAnimation(const Parameters& p, int index) {
  AnimationDescription anim;
  anim.name = "anim" + std::to_string(index);
  anim.fps = 30;
  anim.frameCount = p.frames;
  for (int b = 0; b < p.bones; ++b) {
    int bone = b + 13 * index;  // each animation moves differently
    // The root moves like every rotation; the other bones keep their length,
    // so their positions hold one value per run.
    int moving = b == 0 ? p.stored : 1;
    BoneAnimDescription track = CodedBoneAnim(
        {CurveStream(p, moving, bone, 0, 3000), CurveStream(p, moving, bone, 1, 3000),
         CurveStream(p, moving, bone, 2, 3000)},
        {CurveStream(p, p.stored, bone, 3, 30000), CurveStream(p, p.stored, bone, 4, 30000),
         CurveStream(p, p.stored, bone, 5, 30000)});
    track.flags = kPositionCodedFlag | kRotationCodedFlag;
    anim.bones.push_back(track);
  }
  return anim;
}

// A number in [0, 1) from a linear congruential generator.
float NextUnit(uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  return static_cast<float>(seed >> 8) / 16777216.0f;
}

// Meshes covering `triangles` triangles of a grid surface; the vertices are
// appended to the sub-model, the strip meshes to `lod`. With `seed`, every
// vertex is placed at random in the box of the whole grid instead.
void AddGridMeshes(SubModelDescription& sub, LodDescription& lod, int triangles, int bones, int textures,
                   bool addVertices, int& vertexBase, uint32_t* seed = nullptr) {
  int mesh = 0;
  while (triangles > 0) {
    int cellsWanted = (triangles + 1) / 2;
    int rows = std::min(kMaxGridRows, 1 + (cellsWanted + kGridColumns - 2) / (kGridColumns - 1));
    int vertexCount = rows * kGridColumns;
    if (addVertices) {
      MeshDescription description;
      description.material = mesh % textures;
      description.vertexBase = vertexBase;
      sub.meshes.push_back(description);
      for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < kGridColumns; ++c) {
          // A wavy sheet: positions in tens of units, unit normals, UVs in 0..1.
          float x = 0.731f * c + 0.05f * mesh, y = 0.613f * r;
          float z = 4.0f * std::sin(0.21f * c) * std::cos(0.17f * r);
          if (seed != nullptr) {
            x = 0.731f * (kGridColumns - 1) * NextUnit(*seed);
            y = 0.613f * (kMaxGridRows - 1) * NextUnit(*seed);
            z = 8.0f * NextUnit(*seed) - 4.0f;
          }
          float nx = -0.84f * std::cos(0.21f * c) * std::cos(0.17f * r);
          float ny = 0.68f * std::sin(0.21f * c) * std::sin(0.17f * r);
          float length = std::sqrt(nx * nx + ny * ny + 1.0f);
          VertexDescription v;
          v.bone = static_cast<int16_t>((r * bones) / rows);
          v.position = {x, y, z};
          v.normal = {nx / length, ny / length, 1.0f / length};
          v.u = static_cast<float>(c) / (kGridColumns - 1);
          v.v = static_cast<float>(r) / (rows - 1);
          sub.vertices.push_back(v);
        }
      }
    }
    StripGroupDescription group;
    for (int v = 0; v < vertexCount; ++v) group.vertices.push_back(static_cast<int16_t>(v));
    int written = 0;
    for (int r = 0; r + 1 < rows && written < triangles; ++r) {
      for (int c = 0; c + 1 < kGridColumns && written < triangles; ++c) {
        uint16_t a = static_cast<uint16_t>(r * kGridColumns + c), b = static_cast<uint16_t>(a + 1);
        uint16_t d = static_cast<uint16_t>(a + kGridColumns), e = static_cast<uint16_t>(d + 1);
        for (uint16_t i : {a, d, b}) group.indices.push_back(i);
        ++written;
        if (written < triangles) {
          for (uint16_t i : {b, d, e}) group.indices.push_back(i);
          ++written;
        }
      }
    }
    for (int first = 0; first < written; first += kTrianglesPerStrip) {
      int count = std::min(kTrianglesPerStrip, written - first);
      group.strips.push_back({3 * count, 3 * first});
    }
    StripMeshDescription stripMesh;
    stripMesh.groups.push_back(group);
    // Each level of detail draws the same meshes; a mesh a smaller level does
    // not reach gets an empty strip mesh.
    if (mesh < static_cast<int>(lod.meshes.size())) {
      lod.meshes[mesh] = stripMesh;
    } else {
      lod.meshes.push_back(stripMesh);
    }
    vertexBase += vertexCount;
    triangles -= written;
    ++mesh;
  }
}

ModelDescription MakeModel(const Parameters& p) {
  ModelDescription model;
  model.version = p.version;
  model.name = "bench/large.mdl";
  model.bones = BoneChain(p.bones);
  for (BoneDescription& bone : model.bones) {
    bone.positionScale = {0.001f, 0.001f, 0.001f};
    const float angleScale = p.randomAngles != 0 ? 0.001f * static_cast<float>(p.randomAngles) : 0.0001f;
    bone.angleScale = {angleScale, angleScale, angleScale};
  }
  model.textures = {"skin", "cloth", "metal", "leather"};
  model.materialFolders = {"models/bench/"};
  BodyPartDescription body;
  body.name = "body";
  for (int s = 0; s < p.submodels; ++s) {
    SubModelDescription sub;
    sub.name = "part" + std::to_string(s);
    sub.lods.resize(static_cast<size_t>(p.lods));
    int vertexBase = 0;
    uint32_t seed = 1 + static_cast<uint32_t>(s);
    AddGridMeshes(sub, sub.lods[0], p.triangles, p.bones, static_cast<int>(model.textures.size()), true, vertexBase,
                  p.randomTriangles != 0 ? &seed : nullptr);
    for (int k = 1; k < p.lods; ++k) {
      sub.lods[k].switchDistance = 25.0f * k;
      int unused = 0;
      AddGridMeshes(sub, sub.lods[k], p.triangles >> k, p.bones, static_cast<int>(model.textures.size()), false,
                    unused);
      sub.lods[k].meshes.resize(sub.meshes.size());
    }
    body.subModels.push_back(sub);
  }
  model.bodyParts.push_back(body);
  for (int a = 0; a < p.anims; ++a) {
    model.animations.push_back(MakeAnimation(p, a));
    model.sequences.push_back({model.animations.back().name, "ACT_BENCH", 1});
  }
  model.surfaceProp = "flesh";
  return model;
}

bool ParseArguments(int argc, char** argv, Parameters& p) {
  struct Option {
    const char* name;
    int* value;
    int low, high;
  } options[] = {{"--version", &p.version, 28, 37},    {"--bones", &p.bones, 1, 4096},
                 {"--anims", &p.anims, 0, 10000},      {"--frames", &p.frames, 1, 1000000},
                 {"--run", &p.run, 1, 255},            {"--stored", &p.stored, 1, 255},
                 {"--submodels", &p.submodels, 0, 64}, {"--lods", &p.lods, 1, 8},
                 {"--triangles", &p.triangles, 0, 100000000}, {"--random-angles", &p.randomAngles, 0, 1000},
                 {"--random-triangles", &p.randomTriangles, 0, 1}};
  for (int i = 3; i < argc; i += 2) {
    bool known = false;
    for (const Option& option : options) {
      if (std::strcmp(argv[i], option.name) != 0) continue;
      if (i + 1 >= argc) return false;
      char* end = nullptr;
      long value = std::strtol(argv[i + 1], &end, 10);
      if (*end != '\0' || value < option.low || value > option.high) {
        std::fprintf(stderr, "bench_model: %s takes %d to %d\n", option.name, option.low, option.high);
        return false;
      }
      *option.value = static_cast<int>(value);
      known = true;
    }
    if (!known) return false;
  }
  if (p.stored > p.run) p.stored = p.run;
  return argc >= 3;
}

}  // namespace

int main(int argc, char** argv) {
  Parameters p;
  if (!ParseArguments(argc, argv, p)) {
    std::fprintf(stderr,
                 "usage: bench_model <folder> <base name> [--version 28..37] [--bones N] [--anims N] [--frames N]\n"
                 "                   [--run N] [--stored N] [--submodels N] [--lods N] [--triangles N]\n"
                 "                   [--random-angles N] [--random-triangles 1]\n");
    return 2;
  }
  try {
    std::filesystem::create_directories(argv[1]);
    const BuiltModel built = BuildModel(MakeModel(p));
    WriteModelFiles(built, argv[1], argv[2]);
    std::printf("%s/%s: %zu + %zu bytes\n", argv[1], argv[2], built.model.bytes.size(), built.strip.bytes.size());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_model: %s\n", error.what());
    return 1;
  }
  return 0;
}
