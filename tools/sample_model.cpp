#include "tools/sample_model.h"

#include <cmath>

using namespace tb;

ModelDescription SampleModel(int32_t version) {
  ModelDescription model;
  model.version = version;
  model.name = "sample/arm.mdl";
  model.eyePosition = {0, 0, 24};
  model.illumPosition = {0, 0, 12.5f};
  model.bones = BoneChain(3);
  model.bones[0].name = "shoulder";
  model.bones[1].name = "elbow";
  model.bones[2].name = "wrist";
  for (BoneDescription& bone : model.bones) {
    bone.positionScale = {0.01f, 0.01f, 0.01f};
    bone.angleScale = {0.001f, 0.001f, 0.001f};
  }
  model.textures = {"arm_skin", "arm_metal"};
  model.materialFolders = {"models/sample/"};

  // Body group "arm": the box with two levels of detail, and an empty choice.
  SubModelDescription box = BoxSubModel("arm_box.smd", 0, 1);
  std::vector<uint16_t> coarse = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18, 20, 21, 22};
  box.lods.push_back(TriangleLod(25.0f, coarse));
  SubModelDescription empty;
  empty.name = "arm_none";
  model.bodyParts.push_back(BodyPartDescription{"arm", {box, empty}, std::nullopt});
  // A single-choice body part with a second material.
  model.bodyParts.push_back(BodyPartDescription{"plate", {BoxSubModel("plate", 1, 2)}, std::nullopt});

  // "wave": the elbow swings and the wrist slides for 6 frames.
  AnimationDescription wave;
  wave.name = "wave";
  wave.fps = 24;
  wave.frameCount = 6;
  wave.bones.push_back(RawBoneAnim({0, 0, 0}));
  BoneAnimDescription elbow =
      CodedBoneAnim({AxisStream{}, AxisStream{}, AxisStream{}},
                    {AxisStream{}, AxisStream{}, RunsStream({{{0, 200, 400}, 4, std::nullopt}, {{300}, 2, std::nullopt}})});
  elbow.flags = kRotationCodedFlag;
  wave.bones.push_back(elbow);
  BoneAnimDescription wrist = CodedBoneAnim({PerFrameStream({0, 100, 200, 300, 200, 100}), AxisStream{}, AxisStream{}},
                                            {AxisStream{}, AxisStream{}, AxisStream{}});
  wrist.flags = kPositionCodedFlag;
  wave.bones.push_back(wrist);
  model.animations.push_back(wave);

  AnimationDescription idle;
  idle.name = "idle";
  idle.fps = 30;
  idle.frameCount = 2;
  model.animations.push_back(idle);

  model.sequences = {{"wave", "ACT_WAVE", 1}, {"idle", "ACT_IDLE", 0}};
  model.poseParams = {{"aim_yaw", 1, -180, 180, 360}, {"move_speed", 0, 0, 1, 0}};
  HitboxSetDescription hitboxes{"default", {{1, 0, {-1, -1, -1}, {1, 1, 1}}, {2, 1, {-0.5f, -0.5f, 0}, {0.5f, 0.5f, 2}}},
                                std::nullopt};
  model.hitboxSets.push_back(hitboxes);
  const float c = std::cos(0.5f), s = std::sin(0.5f);
  model.attachments.push_back({"hand", 2, {{{c, -s, 0, 0}, {s, c, 0, 0}, {0, 0, 1, 4}}}});
  model.surfaceProp = "metal";
  return model;
}
