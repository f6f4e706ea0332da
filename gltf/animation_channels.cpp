#include "gltf/animation_channels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "smd/anim_export.h"
#include "model/bone_track.h"
#include "formats/file_budget.h"
#include "gltf/bone_sampling.h"

namespace {

// The rate used when an animation's own gives no increasing key times.
constexpr double kFallbackFps = 30.0;

// Where a channel's keys lie in the animation's buffer view.
struct ChannelData {
  int64_t offset = 0;
  bool oneKey = false;
};

// Bones are sampled in batches of at most this many bytes of keys.
constexpr size_t kBatchBytes = size_t{32} << 20;

template <class T>
ChannelData PutChannel(BinaryBlocks& binary, int64_t viewStart, const T* values, int32_t count) {
  ChannelData channel;
  channel.offset = binary.Size() - viewStart;
  channel.oneKey = true;
  for (int32_t i = 1; i < count && channel.oneKey; ++i)
    channel.oneKey = std::memcmp(&values[i], &values[0], sizeof(T)) == 0;
  binary.Append(values, static_cast<size_t>(channel.oneKey ? 1 : count) * sizeof(T));
  return channel;
}

// frame / fps for every frame, as float; false when those are not finite and
// increasing (a rate that is not a positive number, or too far from any real one).
bool KeyTimes(double fps, int32_t frames, std::vector<float>& times) {
  times.resize(static_cast<size_t>(frames));
  if (!(fps > 0) || !std::isfinite(fps)) return false;
  for (int32_t f = 0; f < frames; ++f) {
    const float t = static_cast<float>(f / fps);
    if (!std::isfinite(t) || (f > 0 && !(t > times[static_cast<size_t>(f - 1)]))) return false;
    times[static_cast<size_t>(f)] = t;
  }
  return true;
}

void AddAnimation(GlbBuild& build, int32_t index, FileBudget& perBoneBudget, SampledBones& keys) {
  const ModelFile& model = build.model;
  const ModelHeader& header = build.header;
  GltfDocument& document = build.document;
  BinaryBlocks& binary = document.Binary();
  build.place = GlbPlace{};
  build.place.part = GlbPlace::Part::Animation;
  build.place.animation = index;
  const AnimDescRecord anim = ReadAnimDesc(model, header, index);
  build.place.name = std::string(NameAt(model, anim.at, anim.nameOffset, "animation name"));
  build.place.named = true;
  if (anim.frameCount <= 0) return;
  const int32_t frames = anim.frameCount;
  const int32_t bones = build.boneCount;
  // Key times, and per bone a translation and a rotation per frame: checked
  // against the limits before any of it is sampled into memory.
  binary.CheckRoom(int64_t{frames} * (4 + int64_t{bones} * (12 + 16)));
  ChargeFileBudget(perBoneBudget, model.bytes, int64_t{kBoneAnimRecordSize} * bones,
                   AddOffset(anim.at, anim.boneAnimOffset), "animation per-bone records");

  std::vector<float> times;
  if (!KeyTimes(anim.fps, frames, times)) {
    char text[160];
    std::snprintf(text, sizeof text,
                  ": frame rate %g gives no increasing key times; they are timed at 30 frames per second\n",
                  static_cast<double>(anim.fps));
    build.messages.push_back(DescribePlace(build.place) + text);
    KeyTimes(kFallbackFps, frames, times);
  }

  // Every track first, as the animation SMD writer prepares them.
  std::vector<BoneTrack> tracks;
  tracks.reserve(static_cast<size_t>(bones));
  for (int32_t b = 0; b < bones; ++b) {
    build.place.bone = b;
    tracks.push_back(PrepareBoneTrack(model, header, anim, b));
  }
  build.place.bone = -1;

  std::vector<ChannelData> translations, rotations;
  translations.reserve(static_cast<size_t>(bones));
  rotations.reserve(static_cast<size_t>(bones));
  const int64_t viewStart = binary.Size();
  const int threads = SamplingThreads(int64_t{bones} * frames, build.threads);
  const size_t keyBytes = static_cast<size_t>(frames) * (sizeof(Vector3) + sizeof(Quaternion));
  const int32_t batch = static_cast<int32_t>(std::clamp<size_t>(kBatchBytes / keyBytes, 1, static_cast<size_t>(bones)));
  for (int32_t first = 0; first < bones; first += batch) {
    const int32_t count = std::min(batch, bones - first);
    SampleBones(build, tracks, first, count, frames, threads, keys);
    for (int32_t i = 0; i < count; ++i) {
      const size_t at = static_cast<size_t>(i) * static_cast<size_t>(frames);
      translations.push_back(PutChannel(binary, viewStart, &keys.positions[at], frames));
      rotations.push_back(PutChannel(binary, viewStart, &keys.rotations[at], frames));
    }
  }

  // The key times: all frames, and the first alone for channels that hold.
  bool allKeysUsed = false, oneKeyUsed = false;
  for (size_t b = 0; b < translations.size(); ++b) {
    for (const ChannelData* data : {&translations[b], &rotations[b]}) (data->oneKey ? oneKeyUsed : allKeysUsed) = true;
  }
  const int64_t allTimesAt = binary.Size() - viewStart;
  if (allKeysUsed) binary.Append(times.data(), times.size() * sizeof(float));
  const int64_t firstTimeAt = binary.Size() - viewStart;
  if (oneKeyUsed) binary.Append(times.data(), sizeof(float));
  const int view = document.AddBufferView(viewStart);
  int allTimes = -1, firstTime = -1;
  if (allKeysUsed) {
    allTimes = document.AddAccessor(view, allTimesAt, kFloat, frames, "SCALAR");
    document.Accessor(allTimes)["min"] = {times.front()};
    document.Accessor(allTimes)["max"] = {times.back()};
  }
  if (oneKeyUsed) {
    firstTime = document.AddAccessor(view, firstTimeAt, kFloat, 1, "SCALAR");
    document.Accessor(firstTime)["min"] = {times.front()};
    document.Accessor(firstTime)["max"] = {times.front()};
  }

  Json samplers = Json::array();
  Json channels = Json::array();
  auto addChannel = [&](const ChannelData& data, int32_t bone, const char* path, const char* type) {
    const int count = data.oneKey ? 1 : frames;
    const int output = document.AddAccessor(view, data.offset, kFloat, count, type);
    samplers.push_back(
        Json{{"input", data.oneKey ? firstTime : allTimes}, {"output", output}, {"interpolation", "LINEAR"}});
    channels.push_back(
        Json{{"sampler", samplers.size() - 1}, {"target", {{"node", build.firstBoneNode + bone}, {"path", path}}}});
  };
  for (int32_t b = 0; b < bones; ++b) {
    addChannel(translations[static_cast<size_t>(b)], b, "translation", "VEC3");
    addChannel(rotations[static_cast<size_t>(b)], b, "rotation", "VEC4");
  }
  document.Add("animations",
               Json{{"name", build.Written(build.place.name)}, {"samplers", std::move(samplers)}, {"channels", std::move(channels)}});
}

}  // namespace

void AddAnimations(GlbBuild& build) {
  const ModelFile& model = build.model;
  const ModelHeader& header = build.header;
  build.place = GlbPlace{};
  build.place.part = GlbPlace::Part::Animations;
  if (header.animDescCount <= 0 || build.boneCount == 0) return;
  CheckTable(model.bytes, header.animDescOffset, header.animDescCount, kAnimDescRecordSize,
             "animation description table");
  // Animations that point at one set of per-bone records would multiply the
  // output for nothing; in a well-formed file each has its own.
  FileBudget perBoneBudget = WholeFileBudget(model.bytes);
  SampledBones keys;  // reused from animation to animation
  for (int32_t i = 0; i < header.animDescCount; ++i) AddAnimation(build, i, perBoneBudget, keys);
}
