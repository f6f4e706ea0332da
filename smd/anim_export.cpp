#include "smd/anim_export.h"

#include <cstring>
#include <string>
#include <vector>

#include "formats/data_place.h"
#include "formats/file_budget.h"
#include "model/animation_tracks.h"
#include "model/frame_sampling.h"
#include "io/safe_names.h"
#include "smd/mesh_export.h"

namespace {

// "animation <index> "<name>"", the item bad data is reported for; the
// bone (level 0) and frame (level 1) follow where they are known.
DataPlace AnimationPlace(int32_t index, std::string_view name) {
  DataPlace place;
  place.item = "animation " + std::to_string(index) + " \"";
  place.item += ShownName(name);
  place.item += '"';
  return place;
}

// Three floats with their separators, at most.
constexpr size_t kMaxTriple = 3 * (1 + kMaxFormattedFloat);
// The longest bone line: index, position, angles, line feed.
constexpr size_t kMaxBoneLine = 48 + 2 * kMaxTriple + 1;

// A bone's line as three parts kept from frame to frame: the index, made
// once; the position, which most bones hold for long stretches (a bone keeps
// its length), formatted only when its bits change; the angles and the line
// feed, formatted only when the bone's sample changes. An unchanged part is
// copied.
struct BoneLineParts {
  char index[48];  // room for the copy of a short part
  char position[kMaxTriple];
  char angles[kMaxTriple + 1];
  uint8_t indexLength = 0;
  uint8_t positionLength = 0;  // 0: nothing formatted yet
  uint8_t anglesLength = 0;
  uint32_t positionBits[3] = {};
};
static_assert(kMaxTriple + 1 <= UINT8_MAX, "a part's length fits 8 bits");

// Most parts are short: one copy of a fixed size serves them.
inline char* PutPart(char* to, const char* part, size_t length) {
  constexpr size_t kShort = 48;
  if (length <= kShort) {
    std::memcpy(to, part, kShort);  // the line's room and the part's array both hold kShort
  } else {
    std::memcpy(to, part, length);
  }
  return to + length;
}

inline size_t FormatTriple(char* text, const float* values) {
  size_t length = 0;
  for (int i = 0; i < 3; ++i) {
    text[length++] = ' ';
    length += FormatFloatFixed<6>(text + length, values[i]);
  }
  return length;
}

void WriteBoneLine(OutputFile& out, BoneLineParts& parts, bool changed, const BoneSample& sample,
                   const Vector3& angles) {
  if (changed) {
    uint32_t bits[3];
    std::memcpy(bits, &sample.position, sizeof bits);
    if (parts.positionLength == 0 || std::memcmp(bits, parts.positionBits, sizeof bits) != 0) {
      std::memcpy(parts.positionBits, bits, sizeof bits);
      const float position[3] = {sample.position.x, sample.position.y, sample.position.z};
      parts.positionLength = static_cast<uint8_t>(FormatTriple(parts.position, position));
    }
    const float turned[3] = {angles.x, angles.y, angles.z};
    const size_t length = FormatTriple(parts.angles, turned);
    parts.angles[length] = '\n';
    parts.anglesLength = static_cast<uint8_t>(length + 1);
  }
  char* const line = ReserveBytes(out, kMaxBoneLine);
  char* p = PutPart(line, parts.index, parts.indexLength);
  p = PutPart(p, parts.position, parts.positionLength);
  p = PutPart(p, parts.angles, parts.anglesLength);
  out.used += static_cast<size_t>(p - line);
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
    FrameSampler sampler(model.bytes, tracks, anim.frameCount);
    std::vector<BoneLineParts> lines(tracks.size());
    for (size_t b = 0; b < tracks.size(); ++b) {
      lines[b].indexLength = static_cast<uint8_t>(FormatInteger(lines[b].index, tracks[b].bone));
    }
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
        WriteBoneLine(out, lines[b], sampler.Changed(b), sampler.Sample(b), sampler.Angles(b));
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
