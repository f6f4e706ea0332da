#include "smd/anim_export.h"

#include <cstring>
#include <string>
#include <vector>

#include "model/bone_track.h"
#include "formats/data_place.h"
#include "formats/file_budget.h"
#include "io/safe_names.h"
#include "smd/mesh_export.h"

namespace {

// The longest bone line: index, six floats with their separators, line feed.
constexpr size_t kMaxBoneLine = 24 + 6 * (1 + kMaxFormattedFloat) + 1;

// "animation <index> "<name>"", the item bad data is reported for; the
// bone (level 0) and frame (level 1) follow where they are known.
DataPlace AnimationPlace(int32_t index, std::string_view name) {
  DataPlace place;
  place.item = "animation " + std::to_string(index) + " \"";
  place.item += ShownName(name);
  place.item += '"';
  return place;
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

namespace {

// The node list, "skeleton", and for every frame a "time" line and a line per
// bone. Bad data abandons the file and is reported with the bone and frame.
void WriteAnimationFile(const ModelFile& model, const ModelHeader& header, const AnimDescRecord& anim,
                        DataPlace place, Destination& to, OutputFile& out) {
  DataPlace::Level& bone = place.levels[0];
  DataPlace::Level& frameLevel = place.levels[1];
  int32_t nodeListBone = -1;
  try {
    WriteNodeList(model, header, out, nodeListBone);
    PutText(out, "skeleton\n");
    std::vector<BoneTrack> tracks;
    std::vector<LineCache> lines;
    std::vector<BoneSample> samples;
    std::vector<Vector3> angles;
    std::vector<uint32_t> changed;
    if (anim.frameCount > 0 && header.boneCount > 0) {
      // The bone table was checked by the node list, so this loop is bounded by the file.
      tracks.reserve(static_cast<size_t>(header.boneCount));
      for (int32_t b = 0; b < header.boneCount; ++b) {
        bone = {"bone", b};
        tracks.push_back(PrepareBoneTrack(model, header, anim, b));
      }
      lines.resize(tracks.size());
      samples.resize(tracks.size());
      angles.resize(tracks.size());
      changed.reserve(tracks.size());
      bone = {};
    }
    // Once a write has failed the file is lost; the rest is not formatted.
    for (int32_t frame = 0; frame < anim.frameCount && !out.writeFailed; ++frame) {
      frameLevel = {"frame", frame};
      PutText(out, "time ");
      PutInt(out, frame);
      PutChar(out, '\n');
      // The frame's samples first, then the angles of the lines that change
      // (their long computations overlap), then the lines.
      for (size_t b = 0; b < tracks.size(); ++b) {
        bone = {"bone", static_cast<int64_t>(b)};
        samples[b] = SampleBoneTrack(model.bytes, tracks[b], frame, 0.0f);
        if (!SameSample(lines[b], samples[b])) changed.push_back(static_cast<uint32_t>(b));
      }
      SampleWholeFrameAngles(tracks, samples, changed, angles);
      changed.clear();
      for (size_t b = 0; b < tracks.size(); ++b) WriteBoneLine(out, tracks[b], lines[b], samples[b], angles[b]);
      bone = {};
    }
    PutText(out, "end\n");
  } catch (const FormatError& error) {
    AbandonOutputFile(out);
    if (nodeListBone >= 0) bone = {"bone", nodeListBone};
    ReportBadData(to, DescribePlace(place), error);
  }
}

// With a budget, the animation's per-bone records are charged to it (see
// ExportAnimations).
int ExportAnimationCharged(Conversion& conv, int32_t index, FileBudget* perBoneBudget) {
  const ModelFile& model = conv.model;
  DataPlace place;
  place.item = "animation " + std::to_string(index);
  ModelHeader header;
  AnimDescRecord anim;
  std::string_view name;
  try {
    header = ReadModelHeader(model);
    anim = ReadAnimDesc(model, header, index);
    name = NameAt(model, anim.at, anim.nameOffset, "animation name");
  } catch (const FormatError& error) {
    ReportBadData(conv.to, place.item, error);
    return 0;
  }
  place = AnimationPlace(index, name);
  if (name.size() > kMaxAnimationNameLength) {
    LogMessage(conv.to.sink,
               "Skipped animation %d: its name is %d characters long, more than the %d a file name can hold (\"%.40s...\")\n",
               index, static_cast<int>(name.size()), static_cast<int>(kMaxAnimationNameLength),
               ShownName(name.substr(0, 40)).c_str());
    conv.to.hadErrors = true;
    return 0;
  }
  if (perBoneBudget != nullptr && anim.frameCount > 0 && header.boneCount > 0) {
    try {
      ChargeFileBudget(*perBoneBudget, model.bytes, int64_t{kBoneAnimRecordSize} * header.boneCount,
                       AddOffset(anim.at, anim.boneAnimOffset), "animation per-bone records");
    } catch (const FormatError& error) {
      ReportBadData(conv.to, place.item, error);
      return 0;
    }
  }

  NoteBoneNameChanges(conv);
  std::string fileName = OutputName(conv, name) + ".smd";
  // The plan holds every animation file this export starts.
  if (const PlannedFile* planned = conv.plan.AnimationFile(index)) fileName = StartPlannedFile(conv, *planned);
  OutputFile out;
  if (!OpenOutputFileOrSay(conv.to, out, fileName)) return 0;
  return WriteFileItem(conv, std::move(out),
                       [&model, header, anim, place](Destination& to, OutputFile& file) {
                         WriteAnimationFile(model, header, anim, place, to, file);
                       })
             ? 1
             : 0;
}

}  // namespace

int ExportAnimation(Conversion& conv, int32_t index) { return ExportAnimationCharged(conv, index, nullptr); }

int ExportAnimations(Conversion& conv) {
  const ModelFile& model = conv.model;
  try {
    const ModelHeader header = ReadModelHeader(model);
    if (header.animDescCount <= 0) return 1;
    CheckTable(model.bytes, header.animDescOffset, header.animDescCount, kAnimDescRecordSize,
               "animation description table");
    // Every animation file starts with the node list; a bone table the file
    // cannot hold is reported once here, not once per animation.
    CheckTable(model.bytes, header.boneOffset, header.boneCount, kBoneRecordSize, "bone table");
  } catch (const FormatError& error) {
    ReportBadData(conv.to, "animations", error);
    return 1;
  }
  const int32_t count = ReadModelHeader(model).animDescCount;
  // Animations may share per-bone records; together they may claim up to 64
  // times the file's size of them (formats/file_budget.h).
  FileBudget perBoneBudget = WholeFileBudget(model.bytes);
  for (int32_t i = 0; i < count; ++i) ExportAnimationCharged(conv, i, &perBoneBudget);
  return 1;
}
