#include "smd/anim_export.h"

#include <string>
#include <vector>

#include "formats/data_place.h"
#include "formats/file_budget.h"
#include "model/animation_tracks.h"
#include "model/frame_sampling.h"
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
void WriteBoneLine(OutputFile& out, int32_t bone, bool changed, const BoneSample& sample, const Vector3& angles,
                   std::string& cached) {
  if (!changed) {
    PutBytes(out, cached.data(), cached.size());
    return;
  }
  const float values[6] = {sample.position.x, sample.position.y, sample.position.z, angles.x, angles.y, angles.z};
  char* line = ReserveBytes(out, kMaxBoneLine);
  size_t length = FormatInteger(line, bone);
  for (float value : values) {
    line[length++] = ' ';
    length += FormatFloatFixed<6>(line + length, value);
  }
  line[length++] = '\n';
  out.used += length;
  cached.assign(line, length);
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
    if (anim.frameCount > 0 && header.boneCount > 0) {
      // The bone table was checked by the node list, so this is bounded by the file.
      try {
        tracks = PrepareAnimationTracks(model, header, anim);
      } catch (const BoneTrackError& error) {
        bone = {"bone", error.bone};
        throw;
      }
    }
    FrameSampler sampler(model.bytes, tracks);
    std::vector<std::string> lines(tracks.size());
    // Once a write has failed the file is lost; the rest is not formatted.
    for (int32_t frame = 0; frame < anim.frameCount && !out.writeFailed; ++frame) {
      frameLevel = {"frame", frame};
      PutText(out, "time ");
      PutInt(out, frame);
      PutChar(out, '\n');
      try {
        sampler.SampleFrame(frame);
      } catch (const FormatError&) {
        bone = {"bone", sampler.FailedBone()};
        throw;
      }
      for (size_t b = 0; b < tracks.size(); ++b) {
        WriteBoneLine(out, tracks[b].bone, sampler.Changed(b), sampler.Sample(b), sampler.Angles(b), lines[b]);
      }
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
    const AnimationEntry entry = ReadAnimationEntry(model, header, index);
    anim = entry.desc;
    name = entry.name;
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
  if (perBoneBudget != nullptr) {
    try {
      ChargeAnimationRecords(*perBoneBudget, model, header, anim);
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
