// A whole dec.qc, per family, against a text written by hand from the format
// rules. The same model is built in every family, once with zeros and once
// with garbage in every unread byte and between the blocks, so a field read
// from the wrong place, a wrong record stride or an early/current layout
// mix-up shows up as a changed line.
#include "tests/script/script_fixture.h"

namespace {

tb::ModelDescription TruckModel(int32_t version) {
  tb::ModelDescription m;
  m.version = version;
  m.name = "vehicles\\truck.mdl";
  m.eyePosition = {1.5f, -2.25f, 64};
  m.illumPosition = {0, 0.125f, 32.5f};
  m.bones = tb::BoneChain(3);
  m.bones[0].name = "root";
  m.bones[1].name = "chassis";
  m.bones[2].name = "wheel \"front\"";
  m.bodyParts = {
      {"body", {SubModel("truck_body.smd", 3, {0, 12.5f, 40})}, std::nullopt},
      {"wheels", {SubModel("parts\\wheels_a.smd", 3, {0, 20}), SubModel("unused", 0, {7}), SubModel("wheels_b", 1)},
       std::nullopt},
      {"empty", {SubModel("ghost", 0, {5})}, std::nullopt},
  };
  m.poseParams = {{"steer", 0, -1, 1, 0}, {"spin", 1, -180, 180, 360}, {"bounce", 1, 0, 1, 0.5f}};
  m.materialFolders = {"models\\vehicles\\", "models/shared/"};
  m.hitboxSets = {{"default",
                   {{1, 2, {-10, -20, -5}, {10, 20, 5.5f}}, {2, 0, {-1.25f, -1.25f, -1.25f}, {1.25f, 1.25f, 1.25f}}},
                   std::nullopt},
                  {"empty", {}, std::nullopt}};
  m.textures = {"truck_paint", "glass.vmt"};
  m.attachments = {{"exhaust", 1, {{{1, 0, 0, -30}, {0, 1, 0, 2.5f}, {0, 0, 1, 8}}}},
                   {"light", 2, {{{0, -1, 0, 40}, {1, 0, 0, 0}, {0, 0, 1, -1.125f}}}}};
  m.surfaceProp = "metal_vehicle";
  m.animations = {{"drive", 24, 1, {}}, {"idle", 15.5f, 1, {}}};
  m.sequences = {{"drive", "ACT_RUN", 1}, {"idle", "ACT_IDLE", 0}};
  return m;
}

// Everything after the "$cd" line.
const char* const kTruckScript =
    "$modelname \"vehicles\\truck.mdl\"\n"
    "$model \"body\" \"truck_body.smd\"\n"
    "$bodygroup (wheels)\n"
    "{\n"
    "\tstudio \"parts\\wheels_a.smd\"\n"
    "\tblank\n"
    "\tstudio \"wheels_b\"\n"
    "}\n"
    "\n"
    "$lod 13\n"
    " {\n"
    "  replacemodel \"truck_body\" \"lod1_truck_body\"\n"
    "}\n"
    "$lod 40\n"
    " {\n"
    "  replacemodel \"truck_body\" \"lod2_truck_body\"\n"
    "}\n"
    "$lod 20\n"
    " {\n"
    "  replacemodel \"parts/wheels_a\" \"lod1_parts/wheels_a\"\n"
    "}\n"
    "$poseparameter steer -1.00 1.00 0.00\n"
    "$poseparameter spin -180.00 180.00 loop 360.00\n"
    "$poseparameter bounce 0.00 1.00 wrap\n"
    "$cdmaterials \"models\\vehicles\\\"\n"
    "$cdmaterials \"models/shared/\"\n"
    "$hboxset \"default\"\n"
    "$hbox 2 \"chassis\" -10.000  -20.000  -5.000  10.000  20.000  5.500\n"
    "$hbox 0 \"wheel _front_\" -1.250  -1.250  -1.250  1.250  1.250  1.250\n"
    "$hboxset \"empty\"\n"
    "// Model uses material \"truck_paint.vmt\"\n"
    "// Model uses material \"glass.vmt.vmt\"\n"
    "$attachment \"exhaust\" \"chassis\" -30.00 2.50 8.00 rotate 0.00 0.00 0.00\n"
    "$attachment \"light\" \"wheel _front_\" 40.00 0.00 -1.13 rotate 0.00 90.00 0.00\n"
    "$surfaceprop \"metal_vehicle\"\n"
    "$eyeposition 1.500 -2.250 64.000\n"
    "$illumposition 0.000 0.125 32.500\n"
    "$sequence drive \"drive\" ACT_RUN 1 fps 24.00\n"
    "$sequence idle \"idle\" fps 15.50\n";

TEST_F(ScriptTest, WholeScriptInEveryFamily) {
  // 36 and 31 read the sequences and the surface property at the early
  // offsets; 30 and 28 also use the 116-byte sub-model.
  const std::string expected = "$cd \"" + std::filesystem::canonical(scratch_.path).string() + "\"\n" + kTruckScript;
  for (int32_t version : {37, 36, 31, 30, 28}) {
    for (bool garbage : {false, true}) {
      tb::BuildOptions options = garbage ? tb::GarbageEverywhere(static_cast<uint32_t>(version)) : tb::BuildOptions{};
      // Negative offsets and odd addresses for the records reached from other records.
      if (garbage) {
        options.beforeBase = {"bodyPart*.subModels", "*.names", "strip.bodyPart1.subModels"};
        options.oddBlocks = {"strip.*"};
      }
      ScriptRun run = Run(TruckModel(version), options);
      EXPECT_EQ(run.result, 1);
      EXPECT_EQ(run.script.value_or("<no dec.qc>"), expected) << "version " << version << " garbage " << garbage;
      // The quotes of the bone name would end the quoted name early.
      EXPECT_EQ(run.log, "Name changed: \"wheel \\x22front\\x22\" -> \"wheel _front_\"\n");
      // A note, not an error (the -file run still ends with status 2: see the driver's tests).
      EXPECT_FALSE(HadErrors());
      EXPECT_TRUE(HadNotes());
      std::filesystem::remove(scratch_.path / "streams.log");
    }
  }
}

}  // namespace
