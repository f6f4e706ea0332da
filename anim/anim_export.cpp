#include "anim/anim_export.h"

#include <cstring>
#include <string>
#include <vector>

#include "anim/bone_track.h"
#include "driver/log.h"
#include "driver/run_status.h"
#include "formats/file_budget.h"

namespace {

// "%s.smd" and its terminator must fit a 256-byte file name.
constexpr size_t kMaxAnimationNameLength = 251;

// The longest bone line: index, six floats with their separators, line feed.
constexpr size_t kMaxBoneLine = 24 + 6 * (1 + kMaxFormattedFloat) + 1;

// Where the export stood when bad data turned up, for the report.
struct Progress {
  int32_t bone = -1;
  int32_t frame = -1;
};

std::string AnimationContext(int32_t index, std::string_view name) {
  std::string text = "animation " + std::to_string(index) + " \"";
  text += name;
  text += '"';
  return text;
}

std::string DescribeProgress(const std::string& animation, const Progress& progress) {
  std::string text = animation;
  if (progress.bone >= 0) text += " bone " + std::to_string(progress.bone);
  if (progress.frame >= 0) text += " frame " + std::to_string(progress.frame);
  return text;
}

void WriteNodeList(const ModelFile& model, const ModelHeader& header, OutputFile& out, Progress& progress) {
  PutText(out, "version 1\nnodes\n");
  CheckTable(model.bytes, header.boneOffset, header.boneCount, kBoneRecordSize, "bone table");
  for (int32_t b = 0; b < header.boneCount; ++b) {
    progress.bone = b;
    const BoneRecord bone = ReadBone(model, header, b);
    const std::string_view name = BoneName(model, bone);
    PutText(out, "  ");
    PutInt(out, b);
    PutText(out, " \"");
    PutText(out, name);
    PutText(out, "\" ");
    PutInt(out, bone.parentIndex);
    PutChar(out, '\n');
  }
  progress.bone = -1;
  PutText(out, "end\nskeleton\n");
}

// A bone's line only changes when its sample does; long held poses and bones
// with stored values are formatted once and copied after that.
struct LineCache {
  bool valid = false;
  BoneSample sample;
  std::string line;
};
static_assert(sizeof(BoneSample) == 9 * sizeof(float), "samples are compared bytewise");

bool SameSample(const LineCache& cache, const BoneSample& sample) {
  return cache.valid && std::memcmp(&sample, &cache.sample, sizeof sample) == 0;
}

void WriteBoneLine(OutputFile& out, const BoneTrack& track, LineCache& cache, const BoneSample& sample,
                   const Vector3& angles) {
  if (SameSample(cache, sample)) {
    PutBytes(out, cache.line.data(), cache.line.size());
    return;
  }
  const float values[6] = {sample.position.x, sample.position.y, sample.position.z, angles.x, angles.y, angles.z};
  char* line = ReserveBytes(out, kMaxBoneLine);
  size_t length = FormatInteger(line, track.bone);
  for (float value : values) {
    line[length++] = ' ';
    length += FormatFloatFixed<6>(line + length, value);
  }
  line[length++] = '\n';
  out.used += length;
  cache.valid = true;
  cache.sample = sample;
  cache.line.assign(line, length);
}

}  // namespace

int WriteAnimationHeader(const ModelFile& model, OutputFile& out) {
  Progress progress;
  WriteNodeList(model, ReadModelHeader(model), out, progress);
  return 1;
}

namespace {

// With a budget, the animation's per-bone records are charged to it (see
// ExportAnimations).
int ExportAnimationCharged(const ModelFile& model, int32_t index, FileBudget* perBoneBudget) {
  std::string context = "animation " + std::to_string(index);
  ModelHeader header;
  AnimDescRecord anim;
  std::string_view name;
  try {
    header = ReadModelHeader(model);
    anim = ReadAnimDesc(model, header, index);
    name = NameAt(model, anim.at, anim.nameOffset, "animation name");
  } catch (const FormatError& error) {
    ReportBadData(context, error);
    return 0;
  }
  context = AnimationContext(index, name);
  if (name.size() > kMaxAnimationNameLength) {
    LogMessage("Skipped animation %d: its name is %d characters long, more than the %d a file name can hold (\"%.40s...\")\n",
               index, static_cast<int>(name.size()), static_cast<int>(kMaxAnimationNameLength),
               std::string(name.substr(0, 40)).c_str());
    NoteRunError();
    return 0;
  }
  if (anim.frameCount > kMaxAnimationFrames) {
    try {
      ThrowFormatErrorText(model.bytes, "animation frame count", anim.at + 12, "is above the limit of 1000000 frames");
    } catch (const FormatError& error) {
      ReportBadData(context, error);
    }
    return 0;
  }

  if (perBoneBudget != nullptr && anim.frameCount > 0 && header.boneCount > 0) {
    try {
      ChargeFileBudget(*perBoneBudget, model.bytes, int64_t{kBoneAnimRecordSize} * header.boneCount,
                       AddOffset(anim.at, anim.boneAnimOffset), "animation per-bone records");
    } catch (const FormatError& error) {
      ReportBadData(context, error);
      return 0;
    }
  }

  const std::string fileName = std::string(name) + ".smd";
  OutputFile out;
  switch (OpenOutputFile(out, fileName)) {
    case OpenResult::Opened:
      break;
    case OpenResult::CannotCreate:
      // The next animation follows; the exit status stays as it is.
      LogMessage("Can't open: %s\n", fileName.c_str());
      return 0;
    case OpenResult::UnsafeName:
      return 0;  // logged by OpenOutputFile
  }

  Progress progress;
  try {
    WriteNodeList(model, header, out, progress);
    std::vector<BoneTrack> tracks;
    std::vector<LineCache> lines;
    std::vector<BoneSample> samples;
    std::vector<Vector3> angles;
    std::vector<uint32_t> changed;
    if (anim.frameCount > 0 && header.boneCount > 0) {
      // The bone table was checked by the node list, so this loop is bounded by the file.
      tracks.reserve(static_cast<size_t>(header.boneCount));
      for (int32_t b = 0; b < header.boneCount; ++b) {
        progress.bone = b;
        tracks.push_back(PrepareBoneTrack(model, header, anim, b));
      }
      lines.resize(tracks.size());
      samples.resize(tracks.size());
      angles.resize(tracks.size());
      changed.reserve(tracks.size());
      progress.bone = -1;
    }
    // Once a write has failed the file is lost; the rest is not formatted.
    for (int32_t frame = 0; frame < anim.frameCount && !out.writeFailed; ++frame) {
      progress.frame = frame;
      PutText(out, "time ");
      PutInt(out, frame);
      PutChar(out, '\n');
      // The frame's samples first, then the angles of the lines that change
      // (their long computations overlap), then the lines.
      for (size_t b = 0; b < tracks.size(); ++b) {
        progress.bone = static_cast<int32_t>(b);
        samples[b] = SampleBoneTrack(model.bytes, tracks[b], frame, 0.0f);
        if (!SameSample(lines[b], samples[b])) changed.push_back(static_cast<uint32_t>(b));
      }
      SampleWholeFrameAngles(tracks, samples, changed, angles);
      changed.clear();
      for (size_t b = 0; b < tracks.size(); ++b) WriteBoneLine(out, tracks[b], lines[b], samples[b], angles[b]);
      progress.bone = -1;
    }
    PutText(out, "end\n");
  } catch (const FormatError& error) {
    AbandonOutputFile(out);
    ReportBadData(DescribeProgress(context, progress), error);
    return 0;
  }
  return CloseOutputFile(out) ? 1 : 0;
}

}  // namespace

int ExportAnimation(const ModelFile& model, int32_t index) { return ExportAnimationCharged(model, index, nullptr); }

int ExportAnimations(const ModelFile& model) {
  try {
    const ModelHeader header = ReadModelHeader(model);
    if (header.animDescCount <= 0) return 1;
    CheckTable(model.bytes, header.animDescOffset, header.animDescCount, kAnimDescRecordSize,
               "animation description table");
    // Every animation file starts with the node list; a bone table the file
    // cannot hold is reported once here, not once per animation.
    CheckTable(model.bytes, header.boneOffset, header.boneCount, kBoneRecordSize, "bone table");
  } catch (const FormatError& error) {
    ReportBadData("animations", error);
    return 1;
  }
  const int32_t count = ReadModelHeader(model).animDescCount;
  // An animation writes a line per bone and frame from 32 bytes per bone, so
  // animations that point at one set of per-bone records would multiply the
  // output for nothing; in a well-formed file each has its own, and together
  // they fit in the file.
  FileBudget perBoneBudget = WholeFileBudget(model.bytes);
  for (int32_t i = 0; i < count; ++i) ExportAnimationCharged(model, i, &perBoneBudget);
  return 1;
}
