// Runs the build-script writer on a builder model inside a fresh scratch
// folder and hands back what it left there.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "io/log.h"
#include "formats/layout.h"
#include "script/build_script.h"
#include "builder/model_builder.h"
#include "tests/support/scratch_conversion.h"

struct ScriptRun {
  int result = -1;
  std::optional<std::string> script;  // dec.qc, when one was left
  std::string log;                    // streams.log
};

inline std::optional<std::string> ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The script without the lines every model writes ("$cd", "$modelname",
// "$surfaceprop", "$eyeposition", "$illumposition"), so that a test of one
// section can compare that section exactly, empty lines and order included.
inline std::string Variable(const std::string& script) {
  std::istringstream in(script);
  std::string line, kept;
  for (int n = 0; std::getline(in, line); ++n) {
    if (n < 2 || line.rfind("$surfaceprop ", 0) == 0 || line.rfind("$eyeposition ", 0) == 0 ||
        line.rfind("$illumposition ", 0) == 0)
      continue;
    kept += line + "\n";
  }
  return kept;
}

// A sub-model with `vertexCount` vertices and the given levels of detail.
inline tb::SubModelDescription SubModel(const std::string& name, int vertexCount,
                                        std::vector<float> lodDistances = {}) {
  tb::SubModelDescription sub;
  sub.name = name;
  sub.vertices.resize(vertexCount);
  for (float distance : lodDistances) sub.lods.push_back(tb::LodDescription{distance, {}});
  return sub;
}

class ScriptTest : public ::testing::Test {
 protected:
  ScriptRun Run(const tb::BuiltModel& built) {
    const std::vector<uint8_t>& m = built.model.bytes;
    const std::vector<uint8_t>& s = built.strip.bytes;
    ModelFile model{ByteView{m.data(), static_cast<int64_t>(m.size()), "test.mdl"},
                    LayoutForVersion(tb::GetI32(m, 4))};
    StripFile strip{ByteView{s.data(), static_cast<int64_t>(s.size()), "test.dx80.vtx"}};
    ScriptRun run;
    run.result = WriteBuildScript(scratch_.Of(model, strip));
    run.script = ReadTextFile((scratch_.path / "dec.qc").string());
    run.log = ReadTextFile((scratch_.path / "streams.log").string()).value_or("");
    return run;
  }
  ScriptRun Run(const tb::ModelDescription& description, const tb::BuildOptions& options = {}) {
    return Run(tb::BuildModel(description, options));
  }
  // The variable part of a script that must have been written.
  std::string Written(const tb::ModelDescription& description) {
    ScriptRun run = Run(description);
    EXPECT_EQ(run.result, 1) << run.log;
    EXPECT_TRUE(run.script.has_value()) << run.log;
    return Variable(run.script.value_or(""));
  }
  bool HadErrors() const { return scratch_.HadErrors(); }
  bool HadNotes() const { return scratch_.HadNotes(); }

  ScratchConversion scratch_;
};
