#include "gltf/animation_channels.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/file_budget.h"
#include "gltf/value_repair.h"
#include "io/work_pool.h"
#include "model/animation_tracks.h"
#include "model/bone_track.h"

namespace {

// The rate used when an animation's own gives no increasing key times.
constexpr double kFallbackFps = 30.0;

// With a work pool, an animation is sampled in parts of about this many
// bone frames (and at most kMostParts parts), so that starting a part costs
// little beside its work, and of at least kLeastBonesPerPart bones, so that
// its rotations still fill the vector lanes.
constexpr int64_t kBoneFramesPerPart = 20000;
constexpr int32_t kMostParts = 16;
constexpr int32_t kLeastBonesPerPart = 8;

// A part's buffer of keys (animations sampled in parts on a work pool) of
// at most this many bytes keeps its memory for the next animation, which then
// writes to pages it has used before; a larger one is released as soon as its
// keys are in the file, so that they are never held twice.
constexpr int64_t kReusedKeyBytes = int64_t{32} << 20;

// a + b and a * b, held at UINT64_MAX where they would not fit.
uint64_t SaturatedSum(uint64_t a, uint64_t b) {
  uint64_t sum;
  return __builtin_add_overflow(a, b, &sum) ? UINT64_MAX : sum;
}
uint64_t SaturatedProduct(uint64_t a, uint64_t b) {
  uint64_t product;
  return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

// The decimal digits of 0, 1, ..., n - 1 written one after the other.
uint64_t DigitsBelow(uint64_t n) {
  uint64_t total = 0;
  uint64_t low = 0, high = 10;
  for (uint64_t digits = 1; low < n; ++digits, low = high, high *= 10) total += (std::min(n, high) - low) * digits;
  return total;
}

// The least bytes the animation SMD file of `frames` frames of `bones` bones
// holds: per frame its line "time <frame>\n", and per bone and frame a line
// of the bone's number and six values, each value at least 3 characters
// ("nan", "inf"; a finite one is "0.000000" at the least) after a space, and
// the line feed. The node list is left out. The .glb stands for these lines,
// so its sampling is charged this against the output limit.
uint64_t LeastAnimationTextBytes(int32_t frames, int32_t bones) {
  const uint64_t timeLines = SaturatedSum(6 * static_cast<uint64_t>(frames), DigitsBelow(static_cast<uint64_t>(frames)));
  const uint64_t boneLinesPerFrame = 25 * static_cast<uint64_t>(bones) + DigitsBelow(static_cast<uint64_t>(bones));
  return SaturatedSum(timeLines, SaturatedProduct(boneLinesPerFrame, static_cast<uint64_t>(frames)));
}

// frame / fps as float for frame f.
float KeyTime(int32_t frame, double fps) { return static_cast<float>(frame / fps); }

// Whether frame / fps is finite and increasing for every frame (a rate that
// is not a positive number, or too far from any real one, gives no such times).
bool KeyTimesIncrease(double fps, int32_t frames) {
  if (!(fps > 0) || !std::isfinite(fps)) return false;
  float previous = 0;
  for (int32_t f = 0; f < frames; ++f) {
    const float t = KeyTime(f, fps);
    if (!std::isfinite(t) || (f > 0 && !(t > previous))) return false;
    previous = t;
  }
  return true;
}

// The key times of every frame, appended in pieces: never held whole.
void AppendKeyTimes(BinaryChunk& binary, double fps, int32_t frames) {
  constexpr int32_t kPiece = 16384;
  float times[kPiece];
  for (int32_t first = 0; first < frames; first += kPiece) {
    const int32_t count = std::min(kPiece, frames - first);
    for (int32_t i = 0; i < count; ++i) times[i] = KeyTime(first + i, fps);
    binary.Append(times, static_cast<size_t>(count) * sizeof(float));
  }
}

// One channel's keys while a bone is sampled: the first key alone while the
// value holds; from the first change on, a key for every frame.
template <class T>
struct ChannelKeys {
  T first;
  std::vector<T> all;  // empty while the value holds
  bool changed = false;

  void Restart() {
    all.clear();
    changed = false;
  }

  // `key` is the channel's key at `frame`, the next frame in order.
  void Put(int32_t frame, int32_t frames, const T& key) {
    if (changed) {
      all.push_back(key);
    } else if (frame == 0) {
      first = key;
    } else if (std::memcmp(&key, &first, sizeof key) != 0) {
      changed = true;
      all.reserve(static_cast<size_t>(frames));  // exactly what the file will hold
      all.assign(static_cast<size_t>(frame), first);
      all.push_back(key);
    }
  }
};

// Where a channel's keys lie in the animation's buffer view (while a part
// is sampled: in the part's bytes).
struct ChannelData {
  int64_t offset = 0;
  bool oneKey = false;
};

// Frames are decoded this many at a time for one bone.
constexpr int32_t kPieceFrames = 1024;

// What a part keeps while it samples one bone after another, reused from
// bone to bone and from animation to animation: the memory stays in the cache.
struct PartScratch {
  std::vector<BoneSample> samples;  // kPieceFrames once used
  std::vector<uint32_t> changedFrames;
  std::vector<Quaternion> rotations;
  ChannelKeys<Vector3> translation;
  ChannelKeys<Quaternion> rotation;
};

// A part's channels, in the file's order: each bone's translation, then its
// rotation. The only part of an animation writes them straight into the
// binary chunk (`chunk`, with offsets from `chunkStart`); parts on the pool's
// threads into `bytes`, which are appended in order once all are done.
struct PartOutput {
  BinaryChunk* chunk = nullptr;
  int64_t chunkStart = 0;
  std::vector<unsigned char, MappedAllocator<unsigned char>> bytes;
  std::vector<ChannelData> translations, rotations;
};

// What sampling one part of the bones met.
struct PartResult {
  Repairs repairs;
  int32_t failedFrame = -1;
  int32_t failedBone = -1;
  std::optional<FormatError> error;
  std::exception_ptr other;  // anything else, such as running out of memory
};

// Appends the channel's keys to `out`. A channel that holds its value has it
// at the first frame and, when `heldKeys` is 2, again at the last, so the
// clip keeps its length in every importer even when no channel of it changes.
template <class T>
ChannelData PutChannel(PartOutput& out, const ChannelKeys<T>& keys, int heldKeys) {
  const auto append = [&out](const T* keys, size_t count) {
    if (out.chunk != nullptr) {
      out.chunk->Append(keys, count * sizeof(T));
    } else {
      const unsigned char* bytes = reinterpret_cast<const unsigned char*>(keys);
      out.bytes.insert(out.bytes.end(), bytes, bytes + count * sizeof(T));
    }
  };
  const int64_t at = out.chunk != nullptr ? out.chunk->Size() - out.chunkStart : static_cast<int64_t>(out.bytes.size());
  ChannelData channel{at, !keys.changed};
  if (keys.changed) {
    append(keys.all.data(), keys.all.size());
  } else {
    for (int k = 0; k < heldKeys; ++k) append(&keys.first, 1);
  }
  return channel;
}

// Samples the bones of `tracks` one after another, each over every frame
// (decoded a piece at a time, SampleBoneTrackFrames), into `out`. The
// rotation of a frame whose sample is the one before's is that frame's: only
// changed samples are turned into quaternions, several frames at once.
// Repairs count a position for every frame and a rotation where it is
// computed. Bad data is kept for the earliest frame, then the lowest bone:
// a bone is sampled only up to the earliest frame any part met so far
// (`stopFrame`), whose error no later frame can displace.
void SamplePart(const ByteView& view, std::span<BoneTrack> tracks, int32_t frames, int heldKeys,
                PartScratch& scratch, PartOutput& out, std::atomic<int32_t>& stopFrame, PartResult& result) {
  out.bytes.clear();
  out.translations.clear();
  out.rotations.clear();
  try {
    scratch.samples.resize(kPieceFrames);
    scratch.rotations.resize(kPieceFrames);
    for (BoneTrack& track : tracks) {
      scratch.translation.Restart();
      scratch.rotation.Restart();
      BoneSample previous;
      Quaternion rotation{0, 0, 0, 1};
      bool failed = false;
      for (int32_t first = 0; first < frames; first += kPieceFrames) {
        const int32_t stop = stopFrame.load(std::memory_order_relaxed);
        if (first > stop) break;
        const int32_t count = std::min(kPieceFrames, std::min(frames, stop == INT32_MAX ? frames : stop + 1) - first);
        std::optional<FormatError> error;
        const int32_t done = SampleBoneTrackFrames(view, track, first, count, scratch.samples.data(), 1, error);
        scratch.changedFrames.clear();
        for (int32_t i = 0; i < done; ++i) {
          const BoneSample& sample = scratch.samples[static_cast<size_t>(i)];
          if ((first == 0 && i == 0) || std::memcmp(&sample, &previous, sizeof sample) != 0)
            scratch.changedFrames.push_back(static_cast<uint32_t>(i));
          previous = sample;
        }
        SampleTrackRotations(track, std::span<const BoneSample>(scratch.samples.data(), static_cast<size_t>(done)),
                             scratch.changedFrames, scratch.rotations);
        size_t nextChanged = 0;
        for (int32_t i = 0; i < done; ++i) {
          if (nextChanged < scratch.changedFrames.size() && scratch.changedFrames[nextChanged] == static_cast<uint32_t>(i)) {
            rotation = RepairedRotation(scratch.rotations[static_cast<size_t>(i)], result.repairs);
            ++nextChanged;
          }
          const Vector3 position = RepairedVector(scratch.samples[static_cast<size_t>(i)].position, result.repairs);
          scratch.translation.Put(first + i, frames, position);
          scratch.rotation.Put(first + i, frames, rotation);
        }
        if (error) {
          const int32_t frame = first + done;
          if (!result.error || frame < result.failedFrame) {
            result.error = std::move(error);
            result.failedFrame = frame;
            result.failedBone = track.bone;
          }
          for (int32_t earliest = stopFrame.load(); frame < earliest && !stopFrame.compare_exchange_weak(earliest, frame);) {
          }
          failed = true;
          break;
        }
      }
      // Once any bone met bad data the file is abandoned: only the earliest
      // error is still looked for.
      if (failed || result.error || stopFrame.load(std::memory_order_relaxed) != INT32_MAX) continue;
      out.translations.push_back(PutChannel(out, scratch.translation, heldKeys));
      out.rotations.push_back(PutChannel(out, scratch.rotation, heldKeys));
    }
  } catch (...) {
    result.other = std::current_exception();
    stopFrame = -1;
  }
}

// What sampling keeps from one animation to the next.
struct SamplingMemory {
  PartScratch scratch[kMostParts];
  PartOutput outputs[kMostParts];
};

// Samples every bone of the animation into memory.outputs, in parts on the
// pool's threads where there is one (one part: straight into the binary
// chunk); returns the number of parts. Throws the
// first bad data (earliest frame, then lowest bone), with build.place naming
// them.
int32_t SampleAnimation(GlbBuild& build, std::vector<BoneTrack>& tracks, int32_t frames, int heldKeys,
                        SamplingMemory& memory) {
  const int32_t bones = static_cast<int32_t>(tracks.size());
  int32_t parts = 1;
  if (build.pool != nullptr) {
    const int64_t wanted = int64_t{bones} * frames / kBoneFramesPerPart;
    const int32_t most = std::clamp(bones / kLeastBonesPerPart, 1, kMostParts);
    parts = static_cast<int32_t>(std::clamp<int64_t>(wanted, 1, most));
  }
  std::vector<PartResult> results(static_cast<size_t>(parts));
  std::atomic<int32_t> stopFrame{INT32_MAX};
  std::atomic<int32_t> partsDone{0};
  for (int32_t part = 0; part < parts; ++part) memory.outputs[part].chunk = nullptr;
  if (parts == 1) {
    memory.outputs[0].chunk = &build.document.Binary();
    memory.outputs[0].chunkStart = build.document.Binary().Size();
  }
  const auto runPart = [&](int32_t part) {
    const size_t first = static_cast<size_t>(int64_t{bones} * part / parts);
    const size_t end = static_cast<size_t>(int64_t{bones} * (part + 1) / parts);
    SamplePart(build.model.bytes, std::span<BoneTrack>(tracks).subspan(first, end - first), frames, heldKeys,
               memory.scratch[part], memory.outputs[part], stopFrame, results[static_cast<size_t>(part)]);
  };
  if (parts == 1) {
    runPart(0);
  } else {
    WorkPool& pool = *build.pool;
    for (int32_t part = 0; part < parts; ++part) {
      pool.Submit([&, part] {
        runPart(part);
        partsDone.fetch_add(1);
        pool.Notify();
      });
    }
    pool.WaitUntil([&] { return partsDone.load() == parts; });
  }

  const PartResult* failed = nullptr;
  for (const PartResult& result : results) {
    if (result.other) std::rethrow_exception(result.other);
    build.repairs.notFinite += result.repairs.notFinite;
    build.repairs.normalLength += result.repairs.normalLength;
    if (result.error && (failed == nullptr || result.failedFrame < failed->failedFrame ||
                         (result.failedFrame == failed->failedFrame && result.failedBone < failed->failedBone)))
      failed = &result;
  }
  if (failed != nullptr) {
    build.place.bone = failed->failedBone;
    build.place.frame = failed->failedFrame;
    throw *failed->error;
  }
  return parts;
}

// `memory` is reused from animation to animation.
void AddAnimation(GlbBuild& build, int32_t index, FileBudget& perBoneBudget, SamplingMemory& memory) {
  const ModelFile& model = build.model;
  const ModelHeader& header = build.header;
  GltfDocument& document = build.document;
  BinaryChunk& binary = document.Binary();
  build.place = GlbPlace{};
  build.place.part = GlbPlace::Part::Animation;
  build.place.animation = index;
  const AnimationEntry entry = ReadAnimationEntry(model, header, index);
  const AnimDescRecord& anim = entry.desc;
  build.place.name = std::string(entry.name);
  build.place.named = true;
  if (anim.frameCount <= 0) return;
  const int32_t frames = anim.frameCount;
  const int32_t bones = build.boneCount;
  // Key times, and per bone a translation and a rotation per frame: the most
  // the animation can add to the file, checked before any of it is sampled.
  const int64_t mostKeyBytes = int64_t{frames} * (4 + int64_t{bones} * (12 + 16));
  binary.CheckRoom(mostKeyBytes);
  build.sampledTextBytes = SaturatedSum(build.sampledTextBytes, LeastAnimationTextBytes(frames, bones));
  if (build.outputLimit != 0 && build.sampledTextBytes > build.outputLimit)
    throw GlbTooLarge{binary.Size(), true};
  ChargeAnimationRecords(perBoneBudget, model, header, anim);

  double fps = anim.fps;
  if (!KeyTimesIncrease(fps, frames)) {
    char text[160];
    std::snprintf(text, sizeof text,
                  ": frame rate %g gives no increasing key times; they are timed at 30 frames per second\n",
                  static_cast<double>(anim.fps));
    build.messages.push_back(DescribePlace(build.place) + text);
    fps = kFallbackFps;
  }

  std::vector<BoneTrack> tracks;
  try {
    tracks = PrepareAnimationTracks(model, header, anim);
  } catch (const BoneTrackError& error) {
    build.place.bone = error.bone;
    throw static_cast<const FormatError&>(error);
  }
  // A held channel spans the clip with two keys, first and last frame.
  const float firstTime = KeyTime(0, fps), lastTime = KeyTime(frames - 1, fps);
  const int heldKeys = frames > 1 && lastTime > firstTime ? 2 : 1;
  const int64_t viewStart = binary.Size();
  const int32_t parts = SampleAnimation(build, tracks, frames, heldKeys, memory);

  // The parts' channels, one after the other.
  std::vector<ChannelData> translations, rotations;
  translations.reserve(static_cast<size_t>(bones));
  rotations.reserve(static_cast<size_t>(bones));
  bool allKeysUsed = false, oneKeyUsed = false;
  for (int32_t part = 0; part < parts; ++part) {
    PartOutput& out = memory.outputs[part];
    int64_t partAt = 0;
    if (out.chunk == nullptr) {
      partAt = binary.Size() - viewStart;
      binary.Append(out.bytes.data(), out.bytes.size());
    }
    for (size_t b = 0; b < out.translations.size(); ++b) {
      for (auto [data, list] : {std::pair{out.translations[b], &translations}, std::pair{out.rotations[b], &rotations}}) {
        data.offset += partAt;
        (data.oneKey ? oneKeyUsed : allKeysUsed) = true;
        list->push_back(data);
      }
    }
    // Large keys leave the process at once; small ones keep their memory for the next animation.
    if (out.bytes.capacity() > static_cast<size_t>(kReusedKeyBytes)) decltype(out.bytes)().swap(out.bytes);
  }

  // The key times: all frames, and the first and last for channels that hold.
  const int64_t allTimesAt = binary.Size() - viewStart;
  if (allKeysUsed) AppendKeyTimes(binary, fps, frames);
  const int64_t firstTimeAt = binary.Size() - viewStart;
  if (oneKeyUsed) {
    binary.Append(&firstTime, sizeof(float));
    if (heldKeys == 2) binary.Append(&lastTime, sizeof(float));
  }
  const int view = document.AddBufferView(viewStart);
  int allTimes = -1, firstTimeAccessor = -1;
  if (allKeysUsed) {
    allTimes = document.AddAccessor(view, allTimesAt, kFloat, frames, "SCALAR");
    document.SetRange(allTimes, {&firstTime, 1}, {&lastTime, 1});
  }
  if (oneKeyUsed) {
    firstTimeAccessor = document.AddAccessor(view, firstTimeAt, kFloat, heldKeys, "SCALAR");
    document.SetRange(firstTimeAccessor, {&firstTime, 1}, {heldKeys == 2 ? &lastTime : &firstTime, 1});
  }

  GltfAnimation animation;
  animation.name = build.Written(build.place.name);
  animation.samplers.reserve(2 * static_cast<size_t>(bones));
  animation.channels.reserve(2 * static_cast<size_t>(bones));
  auto addChannel = [&](const ChannelData& data, int32_t bone, const char* path, const char* type) {
    const int count = data.oneKey ? heldKeys : frames;
    const int output = document.AddAccessor(view, data.offset, kFloat, count, type);
    animation.samplers.push_back({data.oneKey ? firstTimeAccessor : allTimes, output});
    animation.channels.push_back(
        {static_cast<int>(animation.samplers.size() - 1), build.firstBoneNode + bone, path});
  };
  for (int32_t b = 0; b < bones; ++b) {
    addChannel(translations[static_cast<size_t>(b)], b, "translation", "VEC3");
    addChannel(rotations[static_cast<size_t>(b)], b, "rotation", "VEC4");
  }
  document.AddAnimation(std::move(animation));
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
  SamplingMemory memory;
  for (int32_t i = 0; i < header.animDescCount; ++i) AddAnimation(build, i, perBoneBudget, memory);
}
