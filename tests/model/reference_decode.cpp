#include "tests/model/reference_decode.h"

#include "mathlib/rotation.h"

namespace {

struct RunHeader {
  uint8_t storedCount;
  uint8_t runLength;
};

RunHeader ReadRunHeader(const ByteView& view, int64_t at) {
  return RunHeader{ReadU8(view, at, "animation stream run header"), ReadU8(view, at + 1, "animation stream run header")};
}

int64_t NextRunAt(int64_t at, const RunHeader& run) { return at + 2 + 2 * static_cast<int64_t>(run.storedCount); }

// Arriving at such a run puts the walk back to the run's first frame.
bool ResetsPosition(const RunHeader& run) { return run.runLength < run.storedCount; }

StreamRun MakeRun(int64_t at, int64_t offsetInRun, const RunHeader& run) {
  return StreamRun{at, static_cast<int32_t>(offsetInRun), run.storedCount, run.runLength};
}

}  // namespace

StreamRun FindStreamRun(const ByteView& view, int64_t streamAt, int32_t frame) {
  int64_t at = streamAt;
  int64_t r = frame < 0 ? 0 : frame;
  RunHeader run = ReadRunHeader(view, at);
  if (ResetsPosition(run)) r = 0;
  while (run.runLength <= r) {
    r -= run.runLength;
    at = NextRunAt(at, run);
    run = ReadRunHeader(view, at);
    if (ResetsPosition(run)) r = 0;
  }
  return MakeRun(at, r, run);
}

Vector3 BlendedAngles(const Vector3& a1, const Vector3& a2, float s) {
  Quaternion q1;
  AnglesToQuaternion(a1, q1);
  Vector3 angles;
  if (a1.x == a2.x && a1.y == a2.y && a1.z == a2.z) {
    QuaternionToAngles(q1, angles);
  } else {
    Quaternion q2, blended;
    AnglesToQuaternion(a2, q2);
    BlendQuaternions(q1, q2, s, blended);
    QuaternionToAngles(blended, angles);
  }
  return angles;
}

Vector3 DecodeBonePosition(const ModelFile& model, const ModelHeader& header, const BoneAnimRecord& boneAnim,
                           int32_t bone, int32_t frame, float s) {
  if ((boneAnim.animFlags & kPositionCoded) == 0) return boneAnim.rawPosition;
  const BoneRecord record = ReadBone(model, header, bone);
  Vector3 position;
  for (int axis = 0; axis < 3; ++axis) {
    if (boneAnim.positionStreams[axis] == 0) {
      position[axis] = record.referencePosition[axis];
      continue;
    }
    const StreamRun run = FindStreamRun(model.bytes, AddOffset(boneAnim.at, boneAnim.positionStreams[axis]), frame);
    const RunValues values = ReadRunValues(model.bytes, run);
    position[axis] =
        ScaledValue(record.referencePosition[axis], PositionStreamValue(values, s), record.positionScale[axis]);
  }
  return position;
}

Vector3 DecodeBoneAngles(const ModelFile& model, const ModelHeader& header, const BoneAnimRecord& boneAnim,
                         int32_t bone, int32_t frame, float s) {
  if ((boneAnim.animFlags & kRotationCoded) == 0) {
    Vector3 angles;
    QuaternionToAngles(boneAnim.rawQuaternion, angles);
    return angles;
  }
  const BoneRecord record = ReadBone(model, header, bone);
  Vector3 a1, a2;
  for (int axis = 0; axis < 3; ++axis) {
    if (boneAnim.rotationStreams[axis] == 0) {
      a1[axis] = a2[axis] = record.referenceAngles[axis];
      continue;
    }
    const StreamRun run = FindStreamRun(model.bytes, AddOffset(boneAnim.at, boneAnim.rotationStreams[axis]), frame);
    const AngleStreamValues pair = AngleStreamPair(ReadRunValues(model.bytes, run));
    a1[axis] = ScaledValue(record.referenceAngles[axis], pair.u, record.angleScale[axis]);
    a2[axis] = ScaledValue(record.referenceAngles[axis], pair.w, record.angleScale[axis]);
  }
  return BlendedAngles(a1, a2, s);
}
