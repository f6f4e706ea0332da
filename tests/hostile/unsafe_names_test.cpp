// Names from the model that hold line feeds, quotes, escape sequences and
// other control bytes: no output, file name or console line may carry them.
// The run writes exactly what it writes for the same model with each such
// byte already replaced by '_', says each change once, and ends with 2; bytes
// from 0x80 up are written as they are.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/hostile/hostile_support.h"

namespace {

std::string Underscored(std::string name) {
  for (char& c : name) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || byte == '"') c = '_';
  }
  return name;
}

// The box model with every kind of name set by `name(kind)`.
tb::ModelDescription Named(const std::function<std::string(const std::string&)>& name) {
  tb::ModelDescription d = tb::BoxModel(37);
  d.name = name("model");
  d.bones[0].name = name("bone");
  d.textures = {name("texture")};
  d.materialFolders = {name("folder")};
  d.bodyParts[0].name = name("bodyPart");
  d.bodyParts[0].subModels[0].name = name("subModel");
  d.animations[0].name = name("animation");
  d.sequences[0] = {name("sequence"), name("activity"), 1};
  d.surfaceProp = name("surface");
  d.poseParams = {{name("pose"), 0, 0, 1, 0}};
  d.attachments = {{name("attachment"), 0, tb::kIdentityMatrix}};
  d.hitboxSets = {{name("hitboxSet"), {{0, 0, {-1, -1, -1}, {1, 1, 1}}}, std::nullopt}};
  return d;
}

// Control bytes of every kind: line feeds that would add script directives or
// SMD "time" lines, quotes that would end a quoted name, terminal escape
// sequences (clear screen, OSC 52 clipboard writes), tabs, 0x7F.
std::string HostileName(const std::string& kind) {
  if (kind == "model") return "box\x1b[2J.mdl";
  if (kind == "bone") return "root\ntime 5";
  if (kind == "texture") return "skin\x7f";
  if (kind == "folder") return "models\"/box/";
  if (kind == "bodyPart") return "body\"\n$include \"/etc/passwd\"";
  if (kind == "subModel") return "sub\x1b]52;c;QUJD\x07";
  if (kind == "animation") return "walk\tfast";
  if (kind == "sequence") return "idle\r\n$sequence x";
  if (kind == "activity") return "ACT\x01";
  if (kind == "surface") return "metal\"";
  if (kind == "pose") return "pose\x1f";
  if (kind == "attachment") return "tip\n";
  return "hit\"set";
}
std::string WrittenForm(const std::string& kind) { return Underscored(HostileName(kind)); }

TEST(UnsafeNames, ControlBytesQuotesAndDeleteBecomeUnderscores) {
  const tb::ModelDescription hostile = Named(HostileName);
  const tb::ModelDescription written = Named(WrittenForm);
  const tb::BuiltModel hostileBuilt = tb::BuildModel(hostile);
  const tb::BuiltModel writtenBuilt = tb::BuildModel(written);
  const HostileRun clean = RunOnBuilt(writtenBuilt);
  ASSERT_EQ(clean.status, 1) << clean.console;
  EXPECT_EQ(OutputNames(clean),
            (std::set<std::string>{"dec.qc", "sub_]52;c;QUJD_.smd", "walk_fast.smd"}));

  for (const char* jobs : {"1", "4"}) {
    SCOPED_TRACE(jobs);
    HostileFolders folders;
    const HostileRun run =
        RunToolIn(folders, hostileBuilt.model.bytes, hostileBuilt.strip.bytes, 0, {"-jobs", jobs});
    ExpectContained(run, "unsafe names");
    EXPECT_EQ(run.status, 2);
    // Every file, file name and byte as for the names written with '_'.
    EXPECT_EQ(OutputNames(run), OutputNames(clean));
    for (const auto& [name, text] : clean.outputs) EXPECT_TRUE(run.outputs.at(name) == text) << name;
    // No directive or "time" line slipped in.
    EXPECT_EQ(run.outputs.at("dec.qc").find("\n$include"), std::string::npos);
    EXPECT_NE(run.outputs.at("dec.qc").find("$model \"body__$include _/etc/passwd_\" \"sub_]52;c;QUJD_\"\n"),
              std::string::npos)
        << run.outputs.at("dec.qc");
    EXPECT_NE(run.outputs.at("walk_fast.smd").find("  0 \"root_time 5\" -1\n"), std::string::npos);

    // The console shows each byte as \xNN and says each change once, in the
    // order the names are first written; the log holds the same.
    const std::string expected =
        "Decompiled 37 mode\n"
        "Name changed: \"box\\x1B[2J.mdl\" -> \"box_[2J.mdl\"\n"
        "Name changed: \"body\\x22\\x0A$include \\x22/etc/passwd\\x22\" -> \"body__$include _/etc/passwd_\"\n"
        "Name changed: \"sub\\x1B]52;c;QUJD\\x07\" -> \"sub_]52;c;QUJD_\"\n"
        "Name changed: \"pose\\x1F\" -> \"pose_\"\n"
        "Name changed: \"models\\x22/box/\" -> \"models_/box/\"\n"
        "Name changed: \"hit\\x22set\" -> \"hit_set\"\n"
        "Name changed: \"root\\x0Atime 5\" -> \"root_time 5\"\n"
        "Name changed: \"skin\\x7F\" -> \"skin_\"\n"
        "Name changed: \"tip\\x0A\" -> \"tip_\"\n"
        "Name changed: \"metal\\x22\" -> \"metal_\"\n"
        "Name changed: \"idle\\x0D\\x0A$sequence x\" -> \"idle__$sequence x\"\n"
        "Name changed: \"ACT\\x01\" -> \"ACT_\"\n"
        "Extracted body: body\\x22\\x0A$include \\x22/etc/passwd\\x22\n"
        "Extracted model: sub\\x1B]52;c;QUJD\\x07\n"
        "Extracted lod: 0, distance: 0\n"
        "Name changed: \"walk\\x09fast\" -> \"walk_fast\"\n";
    EXPECT_EQ(run.console, expected);
    EXPECT_EQ(ReadFileText(folders.work / "streams.log"), expected);
    EXPECT_FALSE(std::any_of(run.console.begin(), run.console.end(), [](char c) {
      return (static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F;
    }));
  }
}

TEST(UnsafeNames, ANameChangedInOneOutputIsSaidOnceForTheRun) {
  // One bone name in every SMD file, the script's hitboxes and attachments:
  // one line, even with levels of detail and several animations.
  tb::ModelDescription d = tb::BoxModel(37);
  d.bones[0].name = "r\no\"ot";
  d.bodyParts[0].subModels[0].lods.push_back(d.bodyParts[0].subModels[0].lods[0]);
  d.bodyParts[0].subModels[0].lods[1].switchDistance = 10;
  d.animations.push_back(d.animations[0]);
  d.animations[1].name = "again";
  d.attachments = {{"tip", 0, tb::kIdentityMatrix}};
  const HostileRun run = RunOnBuilt(tb::BuildModel(d));
  EXPECT_EQ(run.status, 2);
  const std::string line = "Name changed: \"r\\x0Ao\\x22ot\" -> \"r_o_ot\"\n";
  EXPECT_EQ(run.console.find(line), run.console.rfind(line)) << run.console;
  EXPECT_NE(run.console.find(line), std::string::npos) << run.console;
  for (const char* file : {"box.smd", "lod1_box.smd", "idle.smd", "again.smd"})
    EXPECT_NE(run.outputs.at(file).find("  0 \"r_o_ot\" -1\n"), std::string::npos) << file;
  EXPECT_NE(run.outputs.at("dec.qc").find("$attachment \"tip\" \"r_o_ot\""), std::string::npos);
}

TEST(UnsafeNames, BytesFrom0x80UpAreWrittenAsTheyAre) {
  const auto highName = [](const std::string& kind) -> std::string {
    if (kind == "subModel") return "b\xc3\xa4r\xff";
    if (kind == "animation") return "\x80\x9b" "31m\xfe";
    if (kind == "bone") return "r\xc3\xb6\xc3\xb6t";
    if (kind == "model") return "\xe2\x80\xae.mdl";
    return kind + "\xa0";
  };
  const tb::ModelDescription d = Named(highName);
  const HostileRun run = RunOnBuilt(tb::BuildModel(d));
  EXPECT_EQ(run.status, 1) << run.console;
  EXPECT_EQ(run.console.find("Name changed"), std::string::npos);
  EXPECT_NE(run.console.find("Extracted model: b\xc3\xa4r\xff\n"), std::string::npos) << run.console;
  EXPECT_EQ(OutputNames(run),
            (std::set<std::string>{"dec.qc", "b\xc3\xa4r\xff.smd", "\x80\x9b" "31m\xfe.smd"}));
  EXPECT_NE(run.outputs.at("b\xc3\xa4r\xff.smd").find("  0 \"r\xc3\xb6\xc3\xb6t\" -1\n"), std::string::npos);
  EXPECT_NE(run.outputs.at("b\xc3\xa4r\xff.smd").find("texture\xa0.bmp\n"), std::string::npos);
  EXPECT_NE(run.outputs.at("dec.qc").find("$modelname \"\xe2\x80\xae.mdl\"\n"), std::string::npos);
}

}  // namespace
